#include "isolation/ModuleMessage.h"

#include <QDataStream>
#include <QIODevice>

namespace kestrix {
namespace {

constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;

bool isKnownKind(uint8_t kind) {
    return kind >= static_cast<uint8_t>(ModuleMessage::Kind::Create) &&
           kind <= static_cast<uint8_t>(ModuleMessage::LastKind);
}

}  // namespace

QByteArray ModuleMessage::framed() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << quint32{0} << static_cast<quint8>(kind) << quint32{number} << portable(values);
    const auto length = static_cast<quint32>(bytes.size() - 4);
    QDataStream head(&bytes, QIODevice::WriteOnly);
    head.setVersion(StreamVersion);
    head << length;
    return bytes;
}

std::optional<ModuleMessage> ModuleMessage::read(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setVersion(StreamVersion);
    quint8 kind = 0;
    quint32 number = 0;
    QVariantList values;
    in >> kind >> number >> values;
    if (in.status() != QDataStream::Ok || !in.atEnd() || !isKnownKind(kind)) {
        return std::nullopt;
    }
    return ModuleMessage{static_cast<Kind>(kind), number, std::move(values)};
}

QVariantList faultValues(const Fault& fault) {
    return {fault.number(), fault.description(), fault.source()};
}

Fault faultOf(const QVariantList& values) {
    return Fault(values.value(0).toInt(), values.value(1).toString(), values.value(2).toString());
}

QVariant portable(const QVariant& value) {
    if (!value.isValid() || value.metaType().hasRegisteredDataStreamOperators()) {
        if (value.metaType().id() == QMetaType::QVariantList) {
            return portable(value.toList());
        }
        return value;
    }
    if (value.canConvert<QString>()) {
        return value.toString();
    }
    return {};
}

QVariantList portable(const QVariantList& values) {
    QVariantList crossing;
    crossing.reserve(values.size());
    for (const QVariant& value : values) {
        crossing.append(portable(value));
    }
    return crossing;
}

}  // namespace kestrix
