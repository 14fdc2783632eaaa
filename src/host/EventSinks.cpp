#include "host/EventSinks.h"

#include <QObject>
#include <utility>

#include "fault/Subscript.h"
#include "host/Extender.h"

namespace kestrix {

EventSinks::EventSinks(Receiver receiver) : receiver_(std::move(receiver)) {}

EventSinks::~EventSinks() {
    // A control may outlive the host; its events must not reach a receiver that is gone.
    for (Sink& held : sinks_) {
        QObject::disconnect(held.delivery);
    }
}

void EventSinks::hold(int n, Extender* extender) {
    Sink& target = sink(n);
    QObject::disconnect(target.delivery);
    target.extender = extender;
    target.delivery = {};
    if (extender != nullptr) {
        const auto slot = static_cast<int16_t>(n);
        // The extender emits its events on its own thread, the window's; with it as the context
        // the receiver runs there in any case.
        target.delivery =
            QObject::connect(extender, &Extender::ObjectEvent, extender,
                             [this, slot](const EventInfo& info) { receiver_(slot, info); });
    }
}

void EventSinks::empty(int n) {
    hold(n, nullptr);
}

Extender* EventSinks::held(int n) const {
    return sink(n).extender;
}

EventSinks::Sink& EventSinks::sink(int n) {
    return oneBased(sinks_, n);
}

const EventSinks::Sink& EventSinks::sink(int n) const {
    return oneBased(sinks_, n);
}

}  // namespace kestrix
