#pragma once

#include "common/ModuleWidget.h"

namespace kestrix {

class Reading;

// An LED with dirty filter: the filter in front of the LED slowly collects dirt and dims the
// light. When the contamination reaches the cleaning limit the module raises FilterDirty, once
// until the operator reports the filter cleaned, which raises FilterCleaned.
class DirtyFilterModule : public ModuleWidget {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 1500;
    static constexpr double CleaningLimitPercent = 80.0;

    explicit DirtyFilterModule(QWidget* parent = nullptr);

    double contamination() const { return contaminationPercent_; }

Q_SIGNALS:
    void FilterDirty(int contaminationPercent);
    void FilterCleaned();

protected:
    void advance() override;
    void showReadings() override;

private:
    void filterCleaned();
    double intensity() const;

    double contaminationPercent_ = 12.0;
    bool dirtyReported_ = false;
    Reading* contaminationReading_;
    Reading* intensityReading_;
};

}  // namespace kestrix
