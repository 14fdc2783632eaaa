#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace kestrix {

// The conversation between the HMI runtime and its clients: one UTF-8 line per message,
// "verb", "verb name" or "verb name value". A name holds no blank; a value is the rest of the line
// (it may hold blanks, never a line break).
//
// Client to runtime:  hello TOKEN | subscribe NAME | language LCID | stop-request
//                     | set NAME VALUE | get NAME | stop
// Runtime to client:  ready TOKEN | changed NAME VALUE | ok | value NAME VALUE | unknown NAME
//                     | error TEXT | ended
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

// The environment variable through which a client hands its runtime process the token that the
// runtime repeats in "ready", so that the client knows it talks to the runtime it started.
inline constexpr char TokenVariable[] = "KESTRIX_HMI_TOKEN";

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
