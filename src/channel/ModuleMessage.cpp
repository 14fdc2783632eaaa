#include "channel/ModuleMessage.h"

#include <QtEndian>

namespace kestrix {
namespace {

bool isKnownKind(uint8_t kind) {
    return kind >= static_cast<uint8_t>(ModuleMessage::Kind::Create) &&
           kind <= static_cast<uint8_t>(ModuleMessage::LastKind);
}

}  // namespace

QByteArray ModuleMessage::framed() const {
    QByteArray bytes(4 + HeadLength, '\0');
    qToBigEndian(static_cast<uint32_t>(HeadLength + fields.size()), bytes.data());
    bytes[4] = static_cast<char>(kind);
    qToBigEndian(number, bytes.data() + 5);
    bytes.append(fields);
    return bytes;
}

std::optional<ModuleMessage> ModuleMessage::read(const QByteArray& bytes) {
    if (bytes.size() < HeadLength ||
        bytes.size() > static_cast<qsizetype>(MessageBounds::MaxLength) ||
        !isKnownKind(static_cast<uint8_t>(bytes[0]))) {
        return std::nullopt;
    }
    return ModuleMessage{static_cast<Kind>(bytes[0]),
                         qFromBigEndian<uint32_t>(bytes.constData() + 1), bytes.mid(HeadLength)};
}

}  // namespace kestrix
