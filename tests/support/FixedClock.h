#pragma once

#include "platform/Clock.h"

namespace kestrix {

// A clock for tests: it always shows the date and time it was set to.
class FixedClock final : public Clock {
public:
    FixedClock() = default;
    explicit FixedClock(LocalDateTime at) : at(at) {}

    LocalDateTime now() const override { return at; }

    LocalDateTime at;
};

}  // namespace kestrix
