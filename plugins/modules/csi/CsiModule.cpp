#include "CsiModule.h"

#include "common/Reading.h"

namespace kestrix {

namespace {
// Three closures per step; one in sixty has a missing or smeared stamp.
constexpr int ClosuresPerStep = 3;
constexpr int RejectEvery = 60;
}  // namespace

CsiModule::CsiModule(QWidget* parent)
    : InspectionModule(tr("Closure stamp inspection"), HeightTwips, ClosuresPerStep, RejectEvery,
                       parent),
      lastClosure_(addReading(tr("Last closure"), QStringLiteral("lastClosure"))) {}

void CsiModule::inspected(int /*item*/, bool good) {
    lastClosure_->setValue(good ? tr("OK") : tr("REJECT"));
    lastClosure_->setAlarm(!good);
}

}  // namespace kestrix
