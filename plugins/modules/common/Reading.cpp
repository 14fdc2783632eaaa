#include "Reading.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ModuleStyle.h"

namespace kestrix {

Reading::Reading(const QString& caption, const QString& objectName, QWidget* parent)
    : QFrame(parent), value_(new QLabel(QStringLiteral("—"), this)) {
    auto* captionLabel = new QLabel(caption, this);
    captionLabel->setStyleSheet(ModuleStyle::captionSheet());
    value_->setObjectName(objectName);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value_->setMinimumWidth(60);
    applyColour();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(captionLabel);
    layout->addWidget(value_);
    layout->addStretch();
}

void Reading::setValue(const QString& text) {
    value_->setText(text);
}

void Reading::setAlarm(bool alarm) {
    if (alarm_ == alarm) {
        return;
    }
    alarm_ = alarm;
    applyColour();
}

QString Reading::value() const {
    return value_->text();
}

void Reading::applyColour() {
    value_->setStyleSheet(
        ModuleStyle::readingSheet(alarm_ ? ModuleStyle::ReadingAlarm : ModuleStyle::ReadingNormal));
}

}  // namespace kestrix
