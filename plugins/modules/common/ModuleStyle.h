#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QPainter;
class QRect;
class QWidget;

namespace kestrix::ModuleStyle {

// The look of an industrial operator panel: a dark slate module body, a steel-blue identity strip,
// readings in bright digits on black, flat grey push buttons. Sizes read well at 96 DPI.
//
// The look is made of palettes, fonts and a few painted rectangles rather than style sheets: a
// style sheet gives every widget below it a style of its own, which made creating and laying out
// a line's twenty modules several times slower than the widgets themselves.
inline const QColor Panel{0x3a, 0x3f, 0x45};
inline const QColor PanelBorder{0x1b, 0x1e, 0x22};
inline const QColor HeaderStrip{0x1f, 0x4e, 0x79};
inline const QColor HeaderText{0xff, 0xff, 0xff};
inline const QColor Caption{0xc8, 0xcc, 0xd0};
inline const QColor ReadingBackground{0x10, 0x14, 0x18};
inline const QColor ReadingNormal{0x7c, 0xfc, 0x00};
inline const QColor ReadingAlarm{0xff, 0x45, 0x3a};
inline const QColor ReadingIdle{0x8a, 0x8f, 0x96};
inline const QColor Button{0xd4, 0xd6, 0xd8};
inline const QColor ButtonPressed{0xa9, 0xad, 0xb2};
inline const QColor ButtonDisabled{0x6b, 0x70, 0x77};
inline const QColor ButtonText{0x15, 0x18, 0x1b};
inline const QColor ButtonTextDisabled{0x3a, 0x3f, 0x45};

// The module's content, the identity strip first, stands inside its one-pixel border and one
// pixel of panel.
constexpr int PanelInset = 2;
constexpr int HeaderHeight = 22;

// The fonts, each derived from the widget's own (the program's) font.
QFont headerFont(QFont font);   // the identity strip: bold 10 pt
QFont captionFont(QFont font);  // a reading's caption: 8 pt
QFont readingFont(QFont font);  // a reading's value: bold monospace 14 pt
QFont buttonFont(QFont font);   // a button's text: bold 9 pt

// Sets the colour in which a widget's text is drawn.
void setTextColour(QWidget* widget, const QColor& colour);

// Puts a label's text inside a box: padding pixels from the box's sides (top and bottom as given),
// and on the side the text is aligned to half the width of an "x" further in, so that the text
// does not touch the box.
void setTextInset(QLabel* label, int padding, int top, int bottom);

// A rectangle filled with a colour inside a one-pixel line of another.
void paintBox(QPainter& painter, const QRect& box, const QColor& fill, const QColor& line);

}  // namespace kestrix::ModuleStyle
