#include "ModuleStyle.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QWidget>

namespace kestrix::ModuleStyle {

QFont headerFont(QFont font) {
    font.setPointSize(10);
    font.setBold(true);
    return font;
}

// Painted over the reading's own font: every property of it is its own.
QFont captionFont(QFont font) {
    font.setPointSize(8);
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

QFont readingFont(QFont font) {
    font.setFamilies({QStringLiteral("monospace")});
    font.setPointSize(14);
    font.setBold(true);
    return font;
}

QFont buttonFont(QFont font) {
    font.setPointSize(9);
    font.setBold(true);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void setTextInset(QLabel* label, int padding, int top, int bottom) {
    const int x = QFontMetrics(label->font()).horizontalAdvance(QLatin1Char('x'));
    const bool right = label->alignment() & Qt::AlignRight;
    const int nearSide = padding + x / 2;
    const int farSide = padding + x - x / 2;
    label->setContentsMargins(right ? farSide : nearSide, top, right ? nearSide : farSide, bottom);
}

void paintBox(QPainter& painter, const QRect& box, const QColor& fill, const QColor& line) {
    painter.fillRect(box, fill);
    painter.setPen(line);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
}

}  // namespace kestrix::ModuleStyle
