#include "Reading.h"

#include <QFontMetrics>
#include <QPainter>

#include "ModuleStyle.h"

namespace kestrix {

namespace {
// The value box: a one-pixel line, then six pixels beside the digits.
constexpr int BoxLine = 1;
constexpr int BoxPadding = 6;
// Between the caption and the box.
constexpr int CaptionGap = 1;
}  // namespace

Reading::Reading(const QString& caption, const QString& objectName, QWidget* parent)
    : QLabel(QStringLiteral("—"), parent),
      caption_(caption),
      captionFont_(ModuleStyle::captionFont(font())) {
    setObjectName(objectName);
    setTextFormat(Qt::PlainText);
    setFont(ModuleStyle::readingFont(font()));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setMinimumWidth(60);
    // The digits stand in the box below the caption.
    ModuleStyle::setTextInset(this, BoxLine + BoxPadding, captionHeight() + CaptionGap + BoxLine,
                              BoxLine);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ModuleStyle::setTextColour(this, ModuleStyle::ReadingNormal);
}

void Reading::setAlarm(bool alarm) {
    if (alarm_ == alarm) {
        return;
    }
    alarm_ = alarm;
    ModuleStyle::setTextColour(this,
                               alarm_ ? ModuleStyle::ReadingAlarm : ModuleStyle::ReadingNormal);
}

int Reading::captionHeight() const {
    return QFontMetrics(captionFont_).height();
}

void Reading::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.setFont(captionFont_);
        painter.setPen(ModuleStyle::Caption);
        painter.drawText(QRect(0, 0, width(), captionHeight()), Qt::AlignLeft | Qt::AlignVCenter,
                         caption_);
        const int boxTop = captionHeight() + CaptionGap;
        ModuleStyle::paintBox(painter, QRect(0, boxTop, width(), height() - boxTop),
                              ModuleStyle::ReadingBackground, ModuleStyle::PanelBorder);
    }
    QLabel::paintEvent(event);
}

}  // namespace kestrix
