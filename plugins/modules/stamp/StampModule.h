#pragma once

#include "common/InspectionModule.h"

namespace kestrix {

class Reading;

// A stamp inspection system: a camera checks the best-before stamp on every pack and shows the
// last stamp it saw beside the good and rejected counts.
class StampModule : public InspectionModule {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 2100;

    explicit StampModule(QWidget* parent = nullptr);

protected:
    void inspected(int item, bool good) override;

private:
    Reading* lastStamp_;
};

}  // namespace kestrix
