#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace kestrix {

// The bounds of what one message of the channel may hold. A module's process is a peer the shell
// does not trust: whatever it sends is read within these bounds or not at all.
namespace MessageBounds {
// A whole message (kind, number and fields), the 32-bit length before it not counted.
constexpr uint32_t MaxLength = 1u << 20;
// A member's, a ProgID's, a control's or an event's name.
constexpr int MaxNameLength = 255;
// A fault's description (its source is a name).
constexpr int MaxFaultTextBytes = 4096;
// A plug-in library's path.
constexpr int MaxPathBytes = 4096;
// A text or a byte array among a call's, an answer's or an event's values.
constexpr int MaxValueBytes = 64 * 1024;
// The items of a list value, and the values of a call, an answer or an event.
constexpr int MaxListItems = 256;
constexpr int MaxValues = 32;
}  // namespace MessageBounds

// Writes the fields of a message in the channel's own form: integers big-endian, texts as UTF-8
// with their length, values as a type tag and their bytes. Only the value types a plug-in's members
// and events carry cross: integers, doubles, booleans, texts, byte arrays, and flat lists of those;
// any other value crosses as its text where it has one. What exceeds a bound is cut to it, so the
// other side never receives a message it would refuse.
class MessageWriter {
public:
    explicit MessageWriter(QByteArray& bytes) : bytes_(bytes) {}

    bool boolean(const bool& value);
    bool integer(const int32_t& value);
    bool window(const uint64_t& value);
    bool name(const QString& name);
    bool identifier(const QString& name) { return this->name(name); }
    bool text(const QString& text, int maxBytes);
    bool value(const QVariant& value);
    bool values(const QVariantList& values);

private:
    void count(uint32_t value);
    void cutText(const QString& text, int maxBytes);
    void scalar(const QVariant& value);
    // What remains of a message's length for its texts.
    int room() const;

    QByteArray& bytes_;
};

// Reads the fields of one message within the bounds above: a field that is cut short, too long, of
// a type that is not one of the channel's, or a list inside a list's item makes the whole message
// unreadable (every function then returns false and reads no further).
class MessageReader {
public:
    explicit MessageReader(const QByteArray& bytes, qsizetype from = 0)
        : bytes_(bytes), position_(from) {}

    bool boolean(bool& value);
    bool integer(int32_t& value);
    bool window(uint64_t& value);
    // A name of at most MaxNameLength characters, no control character in it.
    bool name(QString& name);
    // A name that is a C++ identifier (an event is a signal of the control's class).
    bool identifier(QString& name);
    bool text(QString& text, int maxBytes);
    bool value(QVariant& value);
    bool values(QVariantList& values);

    // Whether every byte has been read, and nothing went wrong.
    bool atEnd() const { return ok_ && position_ == bytes_.size(); }
    bool ok() const { return ok_; }

private:
    bool fail() {
        ok_ = false;
        return false;
    }
    bool take(qsizetype size, const char*& at);
    template <class Integer>
    bool bigEndian(Integer& value);
    template <class Integer, class Type>
    bool scalarOf(QVariant& value);
    bool count(uint32_t& value, uint32_t max);
    bool scalar(uint8_t tag, QVariant& value);

    const QByteArray& bytes_;
    qsizetype position_;
    bool ok_ = true;
};

}  // namespace kestrix
