#include "XmeltModule.h"

#include <QPushButton>
#include <algorithm>

#include "common/Reading.h"

namespace kestrix {

namespace {
// Per simulation step: the heating brings the glue back quickly, without it the glue cools
// slowly; the machine uses glue steadily and a refill is fast.
constexpr double HeatingPerStep = 2.0;
constexpr double CoolingPerStep = 1.5;
constexpr double UsePerStep = 0.05;
constexpr double RefillPerStep = 2.0;
constexpr double RefillUpTo = 95.0;
}  // namespace

XmeltModule::XmeltModule(QWidget* parent)
    : ModuleWidget(tr("Hot-melt tank"), HeightTwips, parent),
      levelReading_(addReading(tr("Level"), QStringLiteral("level"))),
      temperatureReading_(addReading(tr("Temperature"), QStringLiteral("temperature"))),
      heatingReading_(addReading(tr("Heating"), QStringLiteral("heating"))),
      heatingButton_(addButton(tr("Heating off"), QStringLiteral("heatingButton"))) {
    auto* refill = addButton(tr("Request refill"), QStringLiteral("refillButton"));
    connect(heatingButton_, &QPushButton::clicked, this, &XmeltModule::toggleHeating);
    connect(refill, &QPushButton::clicked, this, &XmeltModule::requestRefill);
    showReadings();
}

void XmeltModule::advance() {
    if (heating_) {
        celsius_ = std::min(SetPointCelsius, celsius_ + HeatingPerStep);
    } else {
        celsius_ -= CoolingPerStep;
    }
    if (refilling_) {
        levelPercent_ = std::min(RefillUpTo, levelPercent_ + RefillPerStep);
        refilling_ = levelPercent_ < RefillUpTo;
    } else {
        levelPercent_ = std::max(0.0, levelPercent_ - UsePerStep);
    }

    if (celsius_ >= AlarmBelowCelsius) {
        alarmRaised_ = false;
    } else if (!alarmRaised_) {
        alarmRaised_ = true;
        showReadings();
        emit TemperatureAlarm(celsius_);
    }
}

void XmeltModule::showReadings() {
    levelReading_->setValue(QStringLiteral("%1 %").arg(levelPercent_, 0, 'f', 1));
    temperatureReading_->setValue(QStringLiteral("%1 °C").arg(celsius_, 0, 'f', 1));
    temperatureReading_->setAlarm(celsius_ < AlarmBelowCelsius);
    heatingReading_->setValue(heating_ ? tr("On") : tr("Off"));
    heatingButton_->setText(heating_ ? tr("Heating off") : tr("Heating on"));
}

void XmeltModule::toggleHeating() {
    heating_ = !heating_;
    showReadings();
}

void XmeltModule::requestRefill() {
    refilling_ = true;
    emit RefillRequested(static_cast<int>(levelPercent_));
}

}  // namespace kestrix
