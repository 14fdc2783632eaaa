#pragma once

#include <QMetaObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>

#include "host/EventInfo.h"

namespace kestrix {

class Extender;

// The 20 event sinks ObjWithEvent1 .. ObjWithEvent20, one per slot number. Holding an extender in
// sink n delivers every ObjectEvent of its control, with n, to the receiver; emptying the sink
// stops the delivery. The sinks are alike but for their number, and a sink is chosen by number.
class EventSinks {
public:
    using Receiver = std::function<void(int16_t slot, const EventInfo& info)>;

    static constexpr int Count = 20;

    explicit EventSinks(Receiver receiver);
    ~EventSinks();
    EventSinks(const EventSinks&) = delete;
    EventSinks& operator=(const EventSinks&) = delete;

    // Sink n holds this extender from now on (and lets go of the one it held before).
    // A number outside 1..20 is a subscript out of range (9).
    void hold(int n, Extender* extender);
    // Sink n holds nothing any more; 9 outside 1..20.
    void empty(int n);
    // What sink n holds, or null; 9 outside 1..20.
    Extender* held(int n) const;

private:
    struct Sink {
        QPointer<Extender> extender;
        QMetaObject::Connection delivery;
    };

    Sink& sink(int n);
    const Sink& sink(int n) const;

    Receiver receiver_;
    std::array<Sink, Count> sinks_;
};

}  // namespace kestrix
