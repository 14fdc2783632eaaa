#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>

#include "channel/MessageCodec.h"
#include "fault/Fault.h"

namespace kestrix {

// One message on the private channel between the shell and a module's process, as the channel
// carries it: its kind, its number and the bytes of its fields. The channel frames it as a 32-bit
// length and these; the kinds below read and write the fields.
//
//   shell → module                              module → shell
//   Create  {library, ProgID, name, window}     Answer {values}       to the call of that number
//   Get     {member}                            Fault  {number, description, source}  likewise
//   Let     {member, value, arguments}          Event  {name, parameters, fromOwnThread}: waits
//                                                        for EventDone
//   LetId   {dispId, value}                     OwnFault {number, description, source}: an
//   CallId  {dispId, arguments}                          exception escaped the module's own code
//   Place   {width, height, visible}   (no answer)  Resized {width, height}: the control's size
//                                                            changed (its height is its own)
//                                               FocusLeft {forward}: Tab (or Backtab) left the
//                                                            control's last (first) field
//                                               Wheel {x, y}: a turn of the mouse wheel over
//                                                            the control that none of its
//                                                            fields took (its angle delta)
//   EventDone                          to the Event of that number: its box has been closed
//   Release                            the end has begun: events from other threads return
//                                      without a box, so that Terminate may end those threads
//   Ping                               answered by Alive of the same number as soon as the
//                                      module's event loop turns
//   TakeFocus {forward}                Tab (or Backtab) reached the module's place in the window:
//                                      the control's first (last) field takes the keyboard, or,
//                                      when it has none, FocusLeft answers at once
//   InputBlocked {blocked}             a modal box of the shell's is shown (or no longer): the
//                                      control refuses the pointer and the keyboard meanwhile
//   End                                the module has been terminated: its control is destroyed
//                                      (its destructor runs) and its process ends by itself
//
// Calls and events are answered in any order: while one side waits for an answer it serves the
// other's messages, so that calls and events nest as they would in one process.
struct ModuleMessage {
    enum class Kind : uint8_t {
        Create = 1,
        Get,
        Let,
        LetId,
        CallId,
        Place,
        EventDone,
        Release,
        Answer,
        Fault,
        Event,
        OwnFault,
        Resized,
        FocusLeft,
        Ping,
        Alive,
        TakeFocus,
        Wheel,
        InputBlocked,
        End,
    };
    // The last of the kinds: a number beyond it is no message.
    static constexpr Kind LastKind = Kind::End;
    // The kind and the number before the fields.
    static constexpr qsizetype HeadLength = 5;

    Kind kind = Kind::Answer;
    uint32_t number = 0;
    QByteArray fields;

    // The frame of this message: its length, then its bytes.
    QByteArray framed() const;
    // The message in the bytes of one frame (without the length), or nothing when they are not
    // one message of a known kind within MessageBounds::MaxLength.
    static std::optional<ModuleMessage> read(const QByteArray& bytes);
};

// A message of one kind with its fields by name: Self declares `fields(codec, message)`, which
// names each field once, in order, for the writer and the reader alike.
template <class Self, ModuleMessage::Kind K>
struct TypedMessage {
    static constexpr ModuleMessage::Kind kind = K;

    // The message in a frame of this kind, or nothing when the frame is of another kind or its
    // fields are not exactly this kind's within their bounds.
    static std::optional<Self> from(const ModuleMessage& frame) {
        Self message;
        MessageReader reader(frame.fields);
        if (frame.kind != K || !Self::fields(reader, message) || !reader.atEnd()) {
            return std::nullopt;
        }
        return message;
    }

    ModuleMessage frame(uint32_t number = 0) const {
        ModuleMessage message{K, number, {}};
        MessageWriter writer(message.fields);
        Self::fields(writer, static_cast<const Self&>(*this));
        return message;
    }
};

namespace Message {

using Kind = ModuleMessage::Kind;

// A message that has nothing but its kind and number.
template <Kind K>
struct Bare : TypedMessage<Bare<K>, K> {
    template <class Codec, class Self>
    static bool fields(Codec&, Self&) {
        return true;
    }
};

struct Create : TypedMessage<Create, Kind::Create> {
    QString library;
    QString progId;
    QString name;
    uint64_t window = 0;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.text(m.library, MessageBounds::MaxPathBytes) && c.name(m.progId) &&
               c.name(m.name) && c.window(m.window);
    }
};

struct Get : TypedMessage<Get, Kind::Get> {
    QString member;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.name(m.member);
    }
};

struct Let : TypedMessage<Let, Kind::Let> {
    QString member;
    QVariant value;
    QVariantList arguments;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.name(m.member) && c.value(m.value) && c.values(m.arguments);
    }
};

struct LetId : TypedMessage<LetId, Kind::LetId> {
    int32_t dispId = 0;
    QVariant value;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.integer(m.dispId) && c.value(m.value);
    }
};

struct CallId : TypedMessage<CallId, Kind::CallId> {
    int32_t dispId = 0;
    QVariantList arguments;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.integer(m.dispId) && c.values(m.arguments);
    }
};

struct Place : TypedMessage<Place, Kind::Place> {
    int32_t width = 0;
    int32_t height = 0;
    bool visible = false;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.integer(m.width) && c.integer(m.height) && c.boolean(m.visible);
    }
};

struct Answer : TypedMessage<Answer, Kind::Answer> {
    QVariantList values;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.values(m.values);
    }
};

// A fault as it crosses: the Fault answer to a call, or OwnFault.
template <Kind K>
struct FaultMessage : TypedMessage<FaultMessage<K>, K> {
    int32_t number = 0;
    QString description;
    QString source;

    FaultMessage() = default;
    explicit FaultMessage(const kestrix::Fault& fault)
        : number(fault.number()), description(fault.description()), source(fault.source()) {}
    kestrix::Fault fault() const { return kestrix::Fault(number, description, source); }

    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.integer(m.number) && c.text(m.description, MessageBounds::MaxFaultTextBytes) &&
               c.name(m.source);
    }
};
using Fault = FaultMessage<Kind::Fault>;
using OwnFault = FaultMessage<Kind::OwnFault>;

struct Event : TypedMessage<Event, Kind::Event> {
    QString name;
    QVariantList parameters;
    bool fromOwnThread = false;  // emitted from a thread of the module's own
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.identifier(m.name) && c.values(m.parameters) && c.boolean(m.fromOwnThread);
    }
};

struct Resized : TypedMessage<Resized, Kind::Resized> {
    int32_t width = 0;
    int32_t height = 0;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.integer(m.width) && c.integer(m.height);
    }
};

// FocusLeft and TakeFocus: which way the keyboard goes.
template <Kind K>
struct FocusMessage : TypedMessage<FocusMessage<K>, K> {
    bool forward = true;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.boolean(m.forward);
    }
};
using FocusLeft = FocusMessage<Kind::FocusLeft>;

// A turn of the mouse wheel that the control did not take: its angle delta.
struct Wheel : TypedMessage<Wheel, Kind::Wheel> {
    int32_t x = 0;
    int32_t y = 0;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.integer(m.x) && c.integer(m.y);
    }
};
using TakeFocus = FocusMessage<Kind::TakeFocus>;

// Whether the control refuses the pointer and the keyboard, as the shell's own windows do while
// one of its modal boxes is shown.
struct InputBlocked : TypedMessage<InputBlocked, Kind::InputBlocked> {
    bool blocked = false;
    template <class Codec, class Self>
    static bool fields(Codec& c, Self& m) {
        return c.boolean(m.blocked);
    }
};

using EventDone = Bare<Kind::EventDone>;
using Release = Bare<Kind::Release>;
using Ping = Bare<Kind::Ping>;
using Alive = Bare<Kind::Alive>;
using End = Bare<Kind::End>;

}  // namespace Message
}  // namespace kestrix
