#pragma once

#include <QColor>
#include <QString>

namespace kestrix::ModuleStyle {

// The look of an industrial operator panel: a dark slate module body, a steel-blue identity strip,
// readings in bright digits on black, flat grey push buttons. Sizes read well at 96 DPI.
inline const QColor Panel{0x3a, 0x3f, 0x45};
inline const QColor PanelBorder{0x1b, 0x1e, 0x22};
inline const QColor HeaderStrip{0x1f, 0x4e, 0x79};
inline const QColor HeaderText{0xff, 0xff, 0xff};
inline const QColor Caption{0xc8, 0xcc, 0xd0};
inline const QColor ReadingBackground{0x10, 0x14, 0x18};
inline const QColor ReadingNormal{0x7c, 0xfc, 0x00};
inline const QColor ReadingAlarm{0xff, 0x45, 0x3a};
inline const QColor ReadingIdle{0x8a, 0x8f, 0x96};

QString panelSheet();
QString headerSheet();
QString captionSheet();
QString readingSheet(const QColor& text);
QString buttonSheet();

}  // namespace kestrix::ModuleStyle
