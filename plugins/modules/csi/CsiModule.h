#pragma once

#include "common/InspectionModule.h"

namespace kestrix {

class Reading;

// The closure stamp inspection: it checks the stamp on the closure of every pack and shows the
// result of the last closure beside the good and rejected counts.
class CsiModule : public InspectionModule {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 3000;

    explicit CsiModule(QWidget* parent = nullptr);

protected:
    void inspected(int item, bool good) override;

private:
    Reading* lastClosure_;
};

}  // namespace kestrix
