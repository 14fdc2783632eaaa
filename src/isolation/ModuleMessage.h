#pragma once

#include <QByteArray>
#include <QVariant>
#include <cstdint>
#include <optional>

#include "fault/Fault.h"

namespace kestrix {

// One message on the private channel between the shell and a module's process. Each message is
// a kind, a number and its values; the channel frames it as a 32-bit length and the bytes of a
// QDataStream.
//
//   shell → module                              module → shell
//   Create  {library, ProgID, name, window}     Answer {values}       to the call of that number
//   Get     {member}                            Fault  {number, description, source}  likewise
//   Let     {member, value, arguments}          Event  {name, parameters}  waits for EventDone
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
//   Ping                               answered by Alive as soon as the module's event loop turns
//   TakeFocus {forward}                Tab (or Backtab) reached the module's place in the window:
//                                      the control's first (last) field takes the keyboard, or,
//                                      when it has none, FocusLeft answers at once
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
    };
    // The last of the kinds: a number beyond it is no message.
    static constexpr Kind LastKind = Kind::Wheel;

    // A message longer than this is no message of the shell's or the module host's.
    static constexpr uint32_t MaxLength = 16u << 20;

    Kind kind = Kind::Answer;
    uint32_t number = 0;
    QVariantList values;

    // The frame of this message: its length, then its bytes.
    QByteArray framed() const;
    // The message in the bytes of one frame (without the length), or nothing when they are not
    // one message.
    static std::optional<ModuleMessage> read(const QByteArray& bytes);
};

// A fault as the values of a Fault or OwnFault message, and back.
QVariantList faultValues(const Fault& fault);
Fault faultOf(const QVariantList& values);

// The value as it can cross to the other process: a type that the data stream carries as it is,
// other types as their text where they have one, otherwise an empty value.
QVariant portable(const QVariant& value);
QVariantList portable(const QVariantList& values);

}  // namespace kestrix
