#pragma once

#include "common/InspectionModule.h"

namespace kestrix {

class Reading;

// The stamp inspection at the boxer: it checks the stamp on every shipping box and shows the
// number of the last box. The operator can have the last box ejected for a manual check, which
// raises BoxEjectRequested with the box number.
class StampBoxerModule : public InspectionModule {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 1950;

    explicit StampBoxerModule(QWidget* parent = nullptr);

    int lastBox() const { return lastBox_; }

Q_SIGNALS:
    void BoxEjectRequested(int box);

protected:
    void inspected(int item, bool good) override;

private:
    void ejectLastBox();

    int lastBox_ = 0;
    Reading* boxReading_;
};

}  // namespace kestrix
