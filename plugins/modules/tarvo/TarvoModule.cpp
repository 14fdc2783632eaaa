#include "TarvoModule.h"

#include <QPushButton>

#include "common/Reading.h"

namespace kestrix {

TarvoModule::TarvoModule(QWidget* parent)
    : ModuleWidget(tr("Tarvo system"), HeightTwips, parent),
      stateReading_(addReading(tr("State"), QStringLiteral("state"))),
      packsReading_(addReading(tr("Packs"), QStringLiteral("packs"))),
      rateReading_(addReading(tr("Rate"), QStringLiteral("rate"))),
      pauseButton_(addButton(tr("Pause"), QStringLiteral("pauseButton"))) {
    connect(pauseButton_, &QPushButton::clicked, this, &TarvoModule::togglePause);
    showReadings();
}

void TarvoModule::advance() {
    if (!paused_) {
        packs_ += PacksPerStep;
    }
}

void TarvoModule::showReadings() {
    const int perMinute = paused_ ? 0 : PacksPerStep * 60'000 / SimulationIntervalMs;
    stateReading_->setValue(paused_ ? tr("Paused") : tr("Running"));
    stateReading_->setAlarm(paused_);
    packsReading_->setValue(QString::number(packs_));
    rateReading_->setValue(tr("%1 /min").arg(perMinute));
    pauseButton_->setText(paused_ ? tr("Resume") : tr("Pause"));
}

void TarvoModule::togglePause() {
    paused_ = !paused_;
    showReadings();
    emit PauseChanged(paused_);
}

}  // namespace kestrix
