#include "host/LateBinding.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <cstdint>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "fault/Int16.h"

namespace kestrix::LateBinding {
namespace {

const QString DispIdPrefix = QStringLiteral("DispId ");

QObject* requireControl(QObject* control) {
    if (control == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return control;
}

// Runs a piece of the control's own code (a getter, a setter, a member function). A Fault thrown
// by the control passes as it is; any other C++ exception becomes a fault named after the control.
template <class Work>
auto runControlCode(QObject* control, Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const Fault&) {
        throw;
    } catch (const std::exception& e) {
        throw ControlFault(ErrorNumber::AutomationError, QString::fromLocal8Bit(e.what()),
                           QString::fromLatin1(control->metaObject()->className()));
    } catch (...) {
        throw ControlFault(ErrorNumber::AutomationError,
                           Fault::standardDescription(ErrorNumber::AutomationError),
                           QString::fromLatin1(control->metaObject()->className()));
    }
}

// The whole numbers of at most 32 bits that a parameter may take: lowest and highest value, or
// nothing for other types.
std::optional<std::pair<double, double>> wholeNumberRange(QMetaType type) {
    switch (type.id()) {
        case QMetaType::Char:
        case QMetaType::SChar:
            return std::pair<double, double>{INT8_MIN, INT8_MAX};
        case QMetaType::UChar:
            return std::pair<double, double>{0, UINT8_MAX};
        case QMetaType::Short:
            return std::pair<double, double>{INT16_MIN, INT16_MAX};
        case QMetaType::UShort:
            return std::pair<double, double>{0, UINT16_MAX};
        case QMetaType::Int:
            return std::pair<double, double>{INT32_MIN, INT32_MAX};
        case QMetaType::UInt:
            return std::pair<double, double>{0, UINT32_MAX};
        default:
            return std::nullopt;
    }
}

// A number handed to an integral parameter: rounded half to even, and an Overflow (6) where it
// does not fit, instead of the silent wrap-around of a plain conversion.
QVariant wholeNumberFor(const QVariant& value, QMetaType type, std::pair<double, double> range) {
    bool ok = false;
    double number = value.toDouble(&ok);
    if (!ok) {
        raiseFault(ErrorNumber::TypeMismatch);
    }
    double rounded = roundHalfEven(number);
    if (!(rounded >= range.first && rounded <= range.second)) {
        raiseFault(ErrorNumber::Overflow);
    }
    QVariant whole = QVariant::fromValue(static_cast<qlonglong>(rounded));
    whole.convert(type);
    return whole;
}

}  // namespace

// The value converted to the meta type of a parameter or property; Type mismatch (13) when it
// does not convert.
QVariant convertedTo(const QVariant& value, QMetaType type) {
    if (type.id() == QMetaType::QVariant || value.metaType() == type) {
        return value;
    }
    auto range = wholeNumberRange(type);
    if (range && value.metaType().id() != QMetaType::Bool) {
        return wholeNumberFor(value, type, *range);
    }
    QVariant converted = value;
    if (!type.isValid() || !converted.convert(type)) {
        raiseFault(ErrorNumber::TypeMismatch);
    }
    return converted;
}

namespace {

// The member an access by name reaches: without arguments a property (writable for an
// assignment, readable for a read), else the member function of that name taking the arguments,
// and the value for an assignment; the most derived class's declaration wins. Neither is valid
// when the control has no such member.
struct Reached {
    QMetaProperty property;
    QMetaMethod method;
};

Reached reached(QObject* control, const QString& member, qsizetype argumentCount, bool assignment) {
    const QMetaObject* meta = control->metaObject();
    const QByteArray name = member.toLatin1();
    if (argumentCount == 0) {
        QMetaProperty property = meta->property(meta->indexOfProperty(name.constData()));
        if (property.isValid() && (assignment ? property.isWritable() : property.isReadable())) {
            return {property, {}};
        }
    }
    const qsizetype parameterCount = argumentCount + (assignment ? 1 : 0);
    for (int index = meta->methodCount() - 1; index >= 0; --index) {
        QMetaMethod method = meta->method(index);
        bool callable =
            method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot;
        if (callable && method.name() == name && method.parameterCount() == parameterCount) {
            return {{}, method};
        }
    }
    return {};
}

QVariant invoke(QObject* control, const QMetaMethod& method, const QVariantList& arguments) {
    // Converted arguments first, so that the pointers handed to the call stay valid.
    QVariantList converted;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        converted.append(convertedTo(arguments[i], method.parameterMetaType(static_cast<int>(i))));
    }
    QVariant result;
    if (method.returnMetaType().id() != QMetaType::Void) {
        result = QVariant(method.returnMetaType());
    }
    std::vector<void*> argv{result.isValid() ? result.data() : nullptr};
    for (QVariant& argument : converted) {
        argv.push_back(argument.data());
    }
    // Called directly, not through Qt's invoke helpers, so that an exception of the control
    // reaches our handler unchanged.
    runControlCode(control, [&] {
        QMetaObject::metacall(control, QMetaObject::InvokeMetaMethod, method.methodIndex(),
                              argv.data());
    });
    return result;
}

void writeProperty(QObject* control, const QMetaProperty& property, const QVariant& value) {
    QVariant converted = convertedTo(value, property.metaType());
    bool written = runControlCode(control, [&] { return property.write(control, converted); });
    if (!written) {
        raiseFault(ErrorNumber::TypeMismatch);
    }
}

// "DispId 0x68030002" or "DispId 142": the number after the prefix, hexadecimal or decimal.
std::optional<int32_t> dispIdOf(const QString& classInfoName) {
    if (!classInfoName.startsWith(DispIdPrefix)) {
        return std::nullopt;
    }
    QString number = classInfoName.mid(DispIdPrefix.size()).trimmed();
    bool ok = false;
    qlonglong value = number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? number.mid(2).toLongLong(&ok, 16)
                          : number.toLongLong(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace

QVariant get(QObject* control, const QString& member) {
    return call(control, member);
}

void let(QObject* control, const QString& member, const QVariant& value,
         const QVariantList& arguments) {
    Reached target = reached(requireControl(control), member, arguments.size(), true);
    if (target.property.isValid()) {
        writeProperty(control, target.property, value);
        return;
    }
    if (!target.method.isValid()) {
        raiseFault(ErrorNumber::NoSuchMember);
    }
    QVariantList argumentsAndValue = arguments;
    argumentsAndValue.append(value);
    invoke(control, target.method, argumentsAndValue);
}

QVariant call(QObject* control, const QString& member, const QVariantList& arguments) {
    Reached target = reached(requireControl(control), member, arguments.size(), false);
    if (target.property.isValid()) {
        return runControlCode(control, [&] { return target.property.read(control); });
    }
    if (!target.method.isValid()) {
        raiseFault(ErrorNumber::NoSuchMember);
    }
    return invoke(control, target.method, arguments);
}

QString memberReached(QObject* control, const QString& member, qsizetype argumentCount,
                      bool assignment) {
    Reached target = reached(requireControl(control), member, argumentCount, assignment);
    if (target.property.isValid()) {
        return QStringLiteral("property %1 %2")
            .arg(QLatin1String(target.property.typeName()), member);
    }
    if (target.method.isValid()) {
        return QLatin1String(target.method.typeName()) + QLatin1Char(' ') +
               QLatin1String(target.method.methodSignature());
    }
    return {};
}

std::vector<std::pair<int32_t, QString>> dispIds(QObject* control) {
    const QMetaObject* meta = requireControl(control)->metaObject();
    std::vector<std::pair<int32_t, QString>> declared;
    for (int index = 0; index < meta->classInfoCount(); ++index) {
        QMetaClassInfo info = meta->classInfo(index);
        if (auto dispId = dispIdOf(QString::fromLatin1(info.name()))) {
            declared.emplace_back(*dispId, QString::fromLatin1(info.value()));
        }
    }
    return declared;
}

QString memberOfDispId(QObject* control, int dispId) {
    const QMetaObject* meta = requireControl(control)->metaObject();
    for (int index = meta->classInfoCount() - 1; index >= 0; --index) {
        QMetaClassInfo info = meta->classInfo(index);
        if (dispIdOf(QString::fromLatin1(info.name())) == dispId) {
            return QString::fromLatin1(info.value());
        }
    }
    raiseFault(ErrorNumber::NoSuchMember);
}

void letId(QObject* control, int dispId, const QVariant& value) {
    let(control, memberOfDispId(control, dispId), value);
}

QVariant callId(QObject* control, int dispId, const QVariantList& arguments) {
    return call(control, memberOfDispId(control, dispId), arguments);
}

}  // namespace kestrix::LateBinding
