#include "channel/MessageCodec.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace kestrix {
namespace {

// The type tag before each value.
enum class Tag : uint8_t {
    Empty = 0,
    Boolean,
    Int,
    UInt,
    LongLong,
    ULongLong,
    Double,
    Text,
    Bytes,
    List,
};
constexpr uint8_t LastTag = static_cast<uint8_t>(Tag::List);

template <class Integer>
void append(QByteArray& bytes, Integer value) {
    char big[sizeof(Integer)];
    qToBigEndian(value, big);
    bytes.append(big, sizeof big);
}

bool isListType(const QVariant& value) {
    const int type = value.metaType().id();
    return type == QMetaType::QVariantList || type == QMetaType::QStringList;
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool isIdentifier(const QString& name) {
    if (name.isEmpty() || name.front().isDigit()) {
        return false;
    }
    return std::all_of(name.cbegin(), name.cend(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_';
    });
}

}  // namespace

// Writer

bool MessageWriter::boolean(const bool& value) {
    bytes_.append(static_cast<char>(value ? 1 : 0));
    return true;
}

bool MessageWriter::integer(const int32_t& value) {
    append(bytes_, value);
    return true;
}

bool MessageWriter::window(const uint64_t& value) {
    append(bytes_, value);
    return true;
}

bool MessageWriter::name(const QString& name) {
    QString cut = name.left(MessageBounds::MaxNameLength);
    for (QChar& c : cut) {
        if (c.category() == QChar::Other_Control) {
            c = u' ';
        }
    }
    cutText(cut, MessageBounds::MaxNameLength * 4);
    return true;
}

bool MessageWriter::text(const QString& text, int maxBytes) {
    cutText(text, maxBytes);
    return true;
}

void MessageWriter::count(uint32_t value) {
    append(bytes_, value);
}

int MessageWriter::room() const {
    const qsizetype left = static_cast<qsizetype>(MessageBounds::MaxLength) - bytes_.size() - 64;
    return static_cast<int>(std::max<qsizetype>(left, 0));
}

// UTF-8 cut at a character's start, so that the cut text is still text.
void MessageWriter::cutText(const QString& text, int maxBytes) {
    QByteArray utf8 = text.toUtf8();
    qsizetype length = std::min<qsizetype>(utf8.size(), std::min(maxBytes, room()));
    while (length > 0 && length < utf8.size() && (utf8[length] & 0xC0) == 0x80) {
        --length;
    }
    count(static_cast<uint32_t>(length));
    bytes_.append(utf8.constData(), length);
}

bool MessageWriter::value(const QVariant& value) {
    if (!isListType(value)) {
        scalar(value);
        return true;
    }
    const QVariantList items = value.toList();
    const auto kept = std::min<qsizetype>(items.size(), MessageBounds::MaxListItems);
    bytes_.append(static_cast<char>(Tag::List));
    count(static_cast<uint32_t>(kept));
    for (qsizetype i = 0; i < kept; ++i) {
        // A list inside a list's item crosses as its text, or empty.
        scalar(isListType(items[i]) ? QVariant() : items[i]);
    }
    return true;
}

void MessageWriter::scalar(const QVariant& value) {
    switch (value.metaType().id()) {
        case QMetaType::Bool:
            bytes_.append(static_cast<char>(Tag::Boolean));
            boolean(value.toBool());
            return;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            bytes_.append(static_cast<char>(Tag::Int));
            append(bytes_, static_cast<int32_t>(value.toInt()));
            return;
        case QMetaType::UInt:
            bytes_.append(static_cast<char>(Tag::UInt));
            append(bytes_, static_cast<uint32_t>(value.toUInt()));
            return;
        case QMetaType::LongLong:
        case QMetaType::Long:
            bytes_.append(static_cast<char>(Tag::LongLong));
            append(bytes_, static_cast<int64_t>(value.toLongLong()));
            return;
        case QMetaType::ULongLong:
        case QMetaType::ULong:
            bytes_.append(static_cast<char>(Tag::ULongLong));
            append(bytes_, static_cast<uint64_t>(value.toULongLong()));
            return;
        case QMetaType::Double:
        case QMetaType::Float: {
            const double number = value.toDouble();
            uint64_t bits = 0;
            std::memcpy(&bits, &number, sizeof bits);
            bytes_.append(static_cast<char>(Tag::Double));
            append(bytes_, bits);
            return;
        }
        case QMetaType::QByteArray: {
            const QByteArray data = value.toByteArray();
            const auto length =
                std::min<qsizetype>(data.size(), std::min(MessageBounds::MaxValueBytes, room()));
            bytes_.append(static_cast<char>(Tag::Bytes));
            count(static_cast<uint32_t>(length));
            bytes_.append(data.constData(), length);
            return;
        }
        default:
            break;
    }
    if (value.isValid() && value.canConvert<QString>()) {
        bytes_.append(static_cast<char>(Tag::Text));
        cutText(value.toString(), MessageBounds::MaxValueBytes);
        return;
    }
    bytes_.append(static_cast<char>(Tag::Empty));
}

bool MessageWriter::values(const QVariantList& values) {
    const auto kept = std::min<qsizetype>(values.size(), MessageBounds::MaxValues);
    count(static_cast<uint32_t>(kept));
    for (qsizetype i = 0; i < kept; ++i) {
        value(values[i]);
    }
    return true;
}

// Reader

bool MessageReader::take(qsizetype size, const char*& at) {
    if (!ok_ || size < 0 || bytes_.size() - position_ < size) {
        return fail();
    }
    at = bytes_.constData() + position_;
    position_ += size;
    return true;
}

template <class Integer, class Type>
bool MessageReader::scalarOf(QVariant& value) {
    Integer number = 0;
    if (!bigEndian(number)) {
        return false;
    }
    value = static_cast<Type>(number);
    return true;
}

bool MessageReader::boolean(bool& value) {
    const char* at = nullptr;
    if (!take(1, at) || (*at != 0 && *at != 1)) {
        return fail();
    }
    value = *at == 1;
    return true;
}

template <class Integer>
bool MessageReader::bigEndian(Integer& value) {
    const char* at = nullptr;
    if (!take(sizeof(Integer), at)) {
        return false;
    }
    value = qFromBigEndian<Integer>(at);
    return true;
}

bool MessageReader::integer(int32_t& value) {
    return bigEndian(value);
}

bool MessageReader::window(uint64_t& value) {
    return bigEndian(value);
}

bool MessageReader::count(uint32_t& value, uint32_t max) {
    return bigEndian(value) && (value <= max || fail());
}

bool MessageReader::text(QString& text, int maxBytes) {
    uint32_t length = 0;
    const char* at = nullptr;
    if (!count(length, static_cast<uint32_t>(maxBytes)) ||
        !take(static_cast<qsizetype>(length), at)) {
        return false;
    }
    text = QString::fromUtf8(at, static_cast<qsizetype>(length));
    return true;
}

bool MessageReader::name(QString& name) {
    if (!text(name, MessageBounds::MaxNameLength * 4)) {
        return false;
    }
    return (name.size() <= MessageBounds::MaxNameLength && !hasControlCharacter(name)) || fail();
}

bool MessageReader::identifier(QString& name) {
    return (this->name(name) && isIdentifier(name)) || fail();
}

bool MessageReader::scalar(uint8_t tag, QVariant& value) {
    const char* at = nullptr;
    switch (static_cast<Tag>(tag)) {
        case Tag::Empty:
            value = QVariant();
            return true;
        case Tag::Boolean: {
            bool flag = false;
            if (!boolean(flag)) {
                return false;
            }
            value = flag;
            return true;
        }
        case Tag::Int:
            return scalarOf<int32_t, int>(value);
        case Tag::UInt:
            return scalarOf<uint32_t, uint>(value);
        case Tag::LongLong:
            return scalarOf<int64_t, qlonglong>(value);
        case Tag::ULongLong:
            return scalarOf<uint64_t, qulonglong>(value);
        case Tag::Double: {
            uint64_t bits = 0;
            if (!bigEndian(bits)) {
                return false;
            }
            double number = 0;
            std::memcpy(&number, &bits, sizeof number);
            value = number;
            return true;
        }
        case Tag::Text: {
            QString text;
            if (!this->text(text, MessageBounds::MaxValueBytes)) {
                return false;
            }
            value = text;
            return true;
        }
        case Tag::Bytes: {
            uint32_t length = 0;
            if (!count(length, MessageBounds::MaxValueBytes) ||
                !take(static_cast<qsizetype>(length), at)) {
                return false;
            }
            value = QByteArray(at, static_cast<qsizetype>(length));
            return true;
        }
        case Tag::List:
            break;
    }
    return fail();
}

bool MessageReader::value(QVariant& value) {
    const char* at = nullptr;
    if (!take(1, at)) {
        return false;
    }
    const auto tag = static_cast<uint8_t>(*at);
    if (tag > LastTag) {
        return fail();
    }
    if (static_cast<Tag>(tag) != Tag::List) {
        return scalar(tag, value);
    }
    uint32_t items = 0;
    if (!count(items, MessageBounds::MaxListItems)) {
        return false;
    }
    QVariantList list;
    list.reserve(static_cast<qsizetype>(items));
    for (uint32_t i = 0; i < items; ++i) {
        QVariant item;
        if (!take(1, at) || static_cast<Tag>(*at) == Tag::List ||
            static_cast<uint8_t>(*at) > LastTag || !scalar(static_cast<uint8_t>(*at), item)) {
            return fail();
        }
        list.append(std::move(item));
    }
    value = std::move(list);
    return true;
}

bool MessageReader::values(QVariantList& values) {
    uint32_t count = 0;
    if (!this->count(count, MessageBounds::MaxValues)) {
        return false;
    }
    values.clear();
    values.reserve(static_cast<qsizetype>(count));
    for (uint32_t i = 0; i < count; ++i) {
        QVariant item;
        if (!value(item)) {
            return false;
        }
        values.append(std::move(item));
    }
    return true;
}

}  // namespace kestrix
