#include "StampBoxerModule.h"

#include <QPushButton>

#include "common/Reading.h"

namespace kestrix {

namespace {
// One box per step; one in fifty has a bad stamp.
constexpr int BoxesPerStep = 1;
constexpr int RejectEvery = 50;
}  // namespace

StampBoxerModule::StampBoxerModule(QWidget* parent)
    : InspectionModule(tr("Stamp inspection boxer"), HeightTwips, BoxesPerStep, RejectEvery,
                       parent),
      boxReading_(addReading(tr("Last box"), QStringLiteral("lastBox"))) {
    auto* eject = addButton(tr("Eject box"), QStringLiteral("ejectButton"));
    connect(eject, &QPushButton::clicked, this, &StampBoxerModule::ejectLastBox);
}

void StampBoxerModule::inspected(int item, bool good) {
    lastBox_ = item;
    boxReading_->setValue(QString::number(item));
    boxReading_->setAlarm(!good);
}

void StampBoxerModule::ejectLastBox() {
    emit BoxEjectRequested(lastBox_);
}

}  // namespace kestrix
