#include "ModuleButton.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "ModuleStyle.h"

namespace kestrix {

namespace {
// Around the text: a one-pixel line, then padding; the text's own area is at least 20 high.
constexpr int Line = 1;
constexpr int PaddingX = 10;
constexpr int PaddingY = 2;
constexpr int MinimumTextHeight = 20;
}  // namespace

ModuleButton::ModuleButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFont(ModuleStyle::buttonFont(font()));
    setFocusPolicy(Qt::NoFocus);
}

QSize ModuleButton::sizeHint() const {
    if (measuredSize_.isEmpty() || measuredText_ != text()) {
        const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
        measuredText_ = text();
        measuredSize_ = {textSize.width() + 2 * (PaddingX + Line),
                         std::max(textSize.height(), MinimumTextHeight) + 2 * (PaddingY + Line)};
    }
    return measuredSize_;
}

void ModuleButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QColor face = !isEnabled() ? ModuleStyle::ButtonDisabled
                        : isDown()   ? ModuleStyle::ButtonPressed
                                     : ModuleStyle::Button;
    ModuleStyle::paintBox(painter, rect(), face, ModuleStyle::ButtonText);
    QPalette colours = palette();
    colours.setColor(QPalette::ButtonText,
                     isEnabled() ? ModuleStyle::ButtonText : ModuleStyle::ButtonTextDisabled);
    const int insetX = Line + PaddingX;
    const int insetY = Line + PaddingY;
    style()->drawItemText(&painter, rect().adjusted(insetX, insetY, -insetX, -insetY),
                          Qt::AlignCenter | Qt::TextShowMnemonic, colours, isEnabled(), text(),
                          QPalette::ButtonText);
}

}  // namespace kestrix
