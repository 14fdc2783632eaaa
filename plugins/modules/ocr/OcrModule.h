#pragma once

#include "common/ModuleWidget.h"

namespace kestrix {

class Reading;

// An OCR module: it reads the printed lot code on every pack and shows the last text read, the
// reads and the no-reads since the counters were reset. A no-read raises ReadFailed with the last
// text that was read well; the simulated reader misses only one pack in a thousand.
class OcrModule : public ModuleWidget {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 1800;
    static constexpr int NoReadEvery = 1000;

    explicit OcrModule(QWidget* parent = nullptr);

    const QString& lastText() const { return lastText_; }
    int reads() const { return reads_; }
    int noReads() const { return noReads_; }

Q_SIGNALS:
    void ReadFailed(const QString& lastGoodText);
    void CountersReset();

protected:
    void advance() override;
    void showReadings() override;

private:
    void resetCounters();

    int pack_ = 0;
    int reads_ = 0;
    int noReads_ = 0;
    QString lastText_;
    bool lastFailed_ = false;
    Reading* textReading_;
    Reading* readsReading_;
    Reading* noReadsReading_;
};

}  // namespace kestrix
