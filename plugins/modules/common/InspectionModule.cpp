#include "InspectionModule.h"

#include <QPushButton>

#include "Reading.h"

namespace kestrix {

InspectionModule::InspectionModule(const QString& kindCaption, int heightTwips, int itemsPerStep,
                                   int rejectEvery, QWidget* parent)
    : ModuleWidget(kindCaption, heightTwips, parent),
      itemsPerStep_(itemsPerStep),
      rejectEvery_(rejectEvery),
      goodReading_(addReading(tr("Good"), QStringLiteral("good"))),
      rejectReading_(addReading(tr("Rejected"), QStringLiteral("rejected"))),
      rateReading_(addReading(tr("Reject rate"), QStringLiteral("rejectRate"))) {
    auto* reset = addButton(tr("Reset counters"), QStringLiteral("resetButton"));
    connect(reset, &QPushButton::clicked, this, &InspectionModule::resetCounters);
    showReadings();
}

void InspectionModule::advance() {
    for (int i = 0; i < itemsPerStep_; ++i) {
        const int item = good_ + rejects_ + 1;
        const bool good = item % rejectEvery_ != 0;
        if (good) {
            ++good_;
        } else {
            ++rejects_;
        }
        inspected(item, good);
    }
    if (rejects_ >= RejectLimit && !limitReported_) {
        limitReported_ = true;
        showReadings();
        emit RejectLimitReached(rejects_);
    }
}

void InspectionModule::showReadings() {
    const int total = good_ + rejects_;
    goodReading_->setValue(QString::number(good_));
    rejectReading_->setValue(QString::number(rejects_));
    rejectReading_->setAlarm(limitReported_);
    rateReading_->setValue(total == 0
                               ? QStringLiteral("—")
                               : QStringLiteral("%1 %").arg(100.0 * rejects_ / total, 0, 'f', 1));
}

void InspectionModule::resetCounters() {
    good_ = 0;
    rejects_ = 0;
    limitReported_ = false;
    showReadings();
    emit CountersReset();
}

}  // namespace kestrix
