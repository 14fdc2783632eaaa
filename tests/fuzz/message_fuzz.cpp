// libFuzzer target for the reader of the module channel's messages: the input is the bytes of one
// frame (kind, number, fields) as a module's process may send it. Besides crashes, sanitizer
// findings, deep recursion and large allocations, it checks that a message read as its kind is
// written back within the channel's bounds and reads again as the same message.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "channel/ModuleMessage.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Read, write back, read again: the same fields.
template <class Typed>
void roundTrip(const kestrix::ModuleMessage& frame) {
    const std::optional<Typed> typed = Typed::from(frame);
    if (!typed) {
        return;
    }
    const kestrix::ModuleMessage again = typed->frame(frame.number);
    require(again.fields.size() <= static_cast<qsizetype>(kestrix::MessageBounds::MaxLength));
    const std::optional<Typed> reread = Typed::from(again);
    require(reread.has_value());
    require(reread->frame(frame.number).fields == again.fields);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrix::Message;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<kestrix::ModuleMessage> frame = kestrix::ModuleMessage::read(bytes);
    if (!frame) {
        return 0;
    }
    require(frame->framed().mid(4) == bytes);
    roundTrip<Create>(*frame);
    roundTrip<Get>(*frame);
    roundTrip<Let>(*frame);
    roundTrip<LetId>(*frame);
    roundTrip<CallId>(*frame);
    roundTrip<Place>(*frame);
    roundTrip<Answer>(*frame);
    roundTrip<Fault>(*frame);
    roundTrip<Event>(*frame);
    roundTrip<OwnFault>(*frame);
    roundTrip<Resized>(*frame);
    roundTrip<FocusLeft>(*frame);
    roundTrip<TakeFocus>(*frame);
    roundTrip<Alive>(*frame);
    roundTrip<Wheel>(*frame);
    roundTrip<InputBlocked>(*frame);
    roundTrip<End>(*frame);
    return 0;
}
