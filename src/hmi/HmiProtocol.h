#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace kestrix {

// The conversation between the HMI runtime and its clients: one UTF-8 line per message,
// "verb", "verb name" or "verb name value". A name holds no blank; a value is the rest of the line
// (it may hold blanks, never a line break).
//
// Client to runtime:  hello | subscribe NAME | language LCID | stop-request
//                     | set NAME VALUE | get NAME | stop
// Runtime to client:  ready | changed NAME VALUE | ok | value NAME VALUE | unknown NAME
//                     | error TEXT | ended
//
// Nothing on the line is secret: who is at the other end is vouched for by the system (the peer's
// credentials of the local socket), never by what the peer says.
namespace HmiProtocol {

inline constexpr char Hello[] = "hello";
inline constexpr char Subscribe[] = "subscribe";
inline constexpr char Language[] = "language";
inline constexpr char StopRequest[] = "stop-request";
inline constexpr char Set[] = "set";
inline constexpr char Get[] = "get";
inline constexpr char Stop[] = "stop";

inline constexpr char Ready[] = "ready";
inline constexpr char Changed[] = "changed";
inline constexpr char Ok[] = "ok";
inline constexpr char Value[] = "value";
inline constexpr char Unknown[] = "unknown";
inline constexpr char Error[] = "error";
inline constexpr char Ended[] = "ended";

// The longest line either side accepts; a peer that sends more without a line break is dropped.
inline constexpr qint64 MaxLineLength = 64 * 1024;

// The environment variable through which the shell tells the runtime it launches its own process
// id: the runtime ends itself when that shell is gone.
inline constexpr char ShellVariable[] = "KESTRIX_HMI_SHELL";

struct Message {
    QString verb;
    QString name;
    QString value;
};

// One line, with its line break.
QByteArray encode(const QString& verb, const QString& name = {}, const QString& value = {});
// One received line (with or without its line break).
Message decode(const QByteArray& line);

// A runtime variable's name: not empty, no blanks or line breaks.
bool isValidName(const QString& name);
// A value fits on one line.
bool isValidValue(const QString& value);

// A value as the windows receive it: a whole number as an integer (32-bit when it fits), anything
// else as text.
QVariant variantOfValue(const QString& text);

}  // namespace HmiProtocol
}  // namespace kestrix
