#pragma once

#include "common/ModuleWidget.h"

namespace kestrix {

class Reading;

// A top-fold system: it folds and glues the top flaps of every pack. It shows the folds done, the
// packs that left with an open flap and the glue pressure; "Reset counters" raises CountersReset.
class TopFoldModule : public ModuleWidget {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 2700;
    static constexpr int FoldsPerStep = 3;
    static constexpr int OpenFlapEvery = 400;

    explicit TopFoldModule(QWidget* parent = nullptr);

    int folds() const { return folds_; }
    int openFlaps() const { return openFlaps_; }

Q_SIGNALS:
    void CountersReset();

protected:
    void advance() override;
    void showReadings() override;

private:
    void resetCounters();
    double gluePressureBar() const;

    int folds_ = 0;
    int openFlaps_ = 0;
    int steps_ = 0;
    Reading* foldsReading_;
    Reading* openFlapsReading_;
    Reading* pressureReading_;
};

}  // namespace kestrix
