#include "OcrModule.h"

#include <QPushButton>

#include "common/Reading.h"

namespace kestrix {

namespace {
// The lot code printed on the packs of the running order.
const QString LotCode = QStringLiteral("L2405");
}  // namespace

OcrModule::OcrModule(QWidget* parent)
    : ModuleWidget(tr("OCR module"), HeightTwips, parent),
      textReading_(addReading(tr("Last text"), QStringLiteral("lastText"))),
      readsReading_(addReading(tr("Reads"), QStringLiteral("reads"))),
      noReadsReading_(addReading(tr("No-reads"), QStringLiteral("noReads"))) {
    auto* reset = addButton(tr("Reset counters"), QStringLiteral("resetButton"));
    connect(reset, &QPushButton::clicked, this, &OcrModule::resetCounters);
    showReadings();
}

void OcrModule::advance() {
    ++pack_;
    lastFailed_ = pack_ % NoReadEvery == 0;
    if (!lastFailed_) {
        ++reads_;
        lastText_ = QStringLiteral("%1 %2").arg(LotCode).arg(pack_, 6, 10, QLatin1Char('0'));
        return;
    }
    ++noReads_;
    showReadings();
    emit ReadFailed(lastText_);
}

void OcrModule::showReadings() {
    textReading_->setValue(lastFailed_ ? tr("no read")
                                       : (lastText_.isEmpty() ? QStringLiteral("—") : lastText_));
    textReading_->setAlarm(lastFailed_);
    readsReading_->setValue(QString::number(reads_));
    noReadsReading_->setValue(QString::number(noReads_));
}

void OcrModule::resetCounters() {
    reads_ = 0;
    noReads_ = 0;
    showReadings();
    emit CountersReset();
}

}  // namespace kestrix
