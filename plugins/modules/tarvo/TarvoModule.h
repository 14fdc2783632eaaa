#pragma once

#include "common/ModuleWidget.h"

class QPushButton;

namespace kestrix {

class Reading;

// A Tarvo system: it handles the packs of the line at its own rate and shows its state, the packs
// handled and the current rate. The operator can pause and resume it; each change raises
// PauseChanged with the new state.
class TarvoModule : public ModuleWidget {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 1650;
    static constexpr int PacksPerStep = 2;

    explicit TarvoModule(QWidget* parent = nullptr);

    bool paused() const { return paused_; }
    int packs() const { return packs_; }

Q_SIGNALS:
    void PauseChanged(bool paused);

protected:
    void advance() override;
    void showReadings() override;

private:
    void togglePause();

    bool paused_ = false;
    int packs_ = 0;
    Reading* stateReading_;
    Reading* packsReading_;
    Reading* rateReading_;
    QPushButton* pauseButton_;
};

}  // namespace kestrix
