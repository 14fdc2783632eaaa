#pragma once

#include "ModuleWidget.h"

namespace kestrix {

class Reading;

// An inspection system: it counts good and rejected items, shows the reject rate and offers
// "Reset counters". Once the rejects since the last reset reach the reject limit it raises
// RejectLimitReached, once until the counters are reset.
//
// The simulation inspects a few items per step and rejects every n-th one, so at the kinds'
// rates the limit is reached only after hours of running.
class InspectionModule : public ModuleWidget {
    Q_OBJECT
public:
    static constexpr int RejectLimit = 500;

    InspectionModule(const QString& kindCaption, int heightTwips, int itemsPerStep, int rejectEvery,
                     QWidget* parent);

    int good() const { return good_; }
    int rejects() const { return rejects_; }

Q_SIGNALS:
    void CountersReset();
    void RejectLimitReached(int rejects);

protected:
    void advance() override;
    void showReadings() override;

    // Called for every inspected item, numbered from 1 since the last reset.
    virtual void inspected(int /*item*/, bool /*good*/) {}

private:
    void resetCounters();

    int itemsPerStep_;
    int rejectEvery_;
    int good_ = 0;
    int rejects_ = 0;
    bool limitReported_ = false;
    Reading* goodReading_;
    Reading* rejectReading_;
    Reading* rateReading_;
};

}  // namespace kestrix
