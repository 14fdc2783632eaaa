#include "StampModule.h"

#include "common/Reading.h"

namespace kestrix {

namespace {
// Two packs per step; one in forty has a stamp that cannot be read.
constexpr int PacksPerStep = 2;
constexpr int RejectEvery = 40;
}  // namespace

StampModule::StampModule(QWidget* parent)
    : InspectionModule(tr("Stamp inspection"), HeightTwips, PacksPerStep, RejectEvery, parent),
      lastStamp_(addReading(tr("Last stamp"), QStringLiteral("lastStamp"))) {}

void StampModule::inspected(int /*item*/, bool good) {
    lastStamp_->setValue(good ? QStringLiteral("EXP 05.2027") : tr("unreadable"));
    lastStamp_->setAlarm(!good);
}

}  // namespace kestrix
