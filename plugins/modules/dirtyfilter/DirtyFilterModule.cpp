#include "DirtyFilterModule.h"

#include <QPushButton>
#include <algorithm>

#include "common/Reading.h"

namespace kestrix {

namespace {
// A clean filter reaches the cleaning limit after about four and a half hours.
constexpr double DirtPerStep = 0.005;
}  // namespace

DirtyFilterModule::DirtyFilterModule(QWidget* parent)
    : ModuleWidget(tr("LED with dirty filter"), HeightTwips, parent),
      contaminationReading_(addReading(tr("Contamination"), QStringLiteral("contamination"))),
      intensityReading_(addReading(tr("LED intensity"), QStringLiteral("intensity"))) {
    auto* cleaned = addButton(tr("Filter cleaned"), QStringLiteral("cleanedButton"));
    connect(cleaned, &QPushButton::clicked, this, &DirtyFilterModule::filterCleaned);
    showReadings();
}

void DirtyFilterModule::advance() {
    contaminationPercent_ = std::min(100.0, contaminationPercent_ + DirtPerStep);
    if (contaminationPercent_ >= CleaningLimitPercent && !dirtyReported_) {
        dirtyReported_ = true;
        showReadings();
        emit FilterDirty(static_cast<int>(contaminationPercent_));
    }
}

void DirtyFilterModule::showReadings() {
    contaminationReading_->setValue(QStringLiteral("%1 %").arg(contaminationPercent_, 0, 'f', 1));
    contaminationReading_->setAlarm(contaminationPercent_ >= CleaningLimitPercent);
    intensityReading_->setValue(QStringLiteral("%1 %").arg(intensity(), 0, 'f', 0));
}

void DirtyFilterModule::filterCleaned() {
    contaminationPercent_ = 0.0;
    dirtyReported_ = false;
    showReadings();
    emit FilterCleaned();
}

// The dirt on the filter takes up to half of the LED's light.
double DirtyFilterModule::intensity() const {
    return 100.0 - contaminationPercent_ / 2.0;
}

}  // namespace kestrix
