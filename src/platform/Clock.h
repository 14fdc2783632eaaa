#pragma once

namespace kestrix {

// Local calendar date and time of day, to the second.
struct LocalDateTime {
    int year = 2000;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
};

// Where the program reads the current local date and time (the log stamps its lines with it).
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

// The machine's clock in its local time zone.
class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
};

}  // namespace kestrix
