#include "MemberDiagnosis.h"

#include <QFile>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QStringList>

#include "host/LateBinding.h"

namespace kestrix::check {
namespace {

// What the shell passes to a member, as a value of its kind: Init gets (unit, machine, machine
// name, True), the others True alone.
std::vector<std::pair<QVariant, const char*>> argumentsOf(const ModuleCalls::Member& call) {
    std::vector<std::pair<QVariant, const char*>> passed;
    if (call.arguments == 3) {
        passed = {{QVariant::fromValue<int16_t>(1), "a 16-bit integer (the unit)"},
                  {QVariant::fromValue<int16_t>(1), "a 16-bit integer (the machine number)"},
                  {QStringLiteral("Machine 1"), "a string (the machine name)"}};
    }
    if (call.assignment) {
        passed.emplace_back(true, "True (the value)");
    }
    return passed;
}

// Whether a parameter of that type takes the value, by the shell's own conversion rule.
bool takes(QMetaType parameter, const QVariant& value) {
    try {
        LateBinding::convertedTo(value, parameter);
        return true;
    } catch (const Fault&) {
        return false;
    }
}

QString signatureOf(const QMetaMethod& method) {
    return QString::fromLatin1(method.methodSignature());
}

// The C++ name "Class::member" as the compiler writes it into the library's symbols
// (the Itanium mangling of a nested name: length-prefixed components).
bool libraryDefines(const QString& libraryFile, const QByteArray& className,
                    const QByteArray& member) {
    QFile library(libraryFile);
    if (libraryFile.isEmpty() || !library.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bareClass = className.mid(className.lastIndexOf(':') + 1);
    const QByteArray mangled = QByteArray::number(bareClass.size()) + bareClass +
                               QByteArray::number(member.size()) + member;
    return library.readAll().contains(mangled);
}

}  // namespace

QString whyNotCallable(const QObject& control, const ModuleCalls::Member& call,
                       const QString& libraryFile) {
    const QMetaObject* meta = control.metaObject();
    const QByteArray name(call.name);
    const auto passed = argumentsOf(call);
    const QString reached = LateBinding::memberReached(
        const_cast<QObject*>(&control), QString::fromLatin1(name), call.arguments, call.assignment);
    if (!reached.isEmpty()) {
        // Reached: a member function whose parameter does not take the shell's argument faults
        // with a type mismatch (13).
        for (int index = meta->methodCount() - 1; index >= 0; --index) {
            const QMetaMethod method = meta->method(index);
            if (method.name() != name ||
                method.parameterCount() != static_cast<int>(passed.size()) ||
                reached !=
                    QLatin1String(method.typeName()) + QLatin1Char(' ') + signatureOf(method)) {
                continue;
            }
            for (int i = 0; i < method.parameterCount(); ++i) {
                if (!takes(method.parameterMetaType(i), passed[static_cast<size_t>(i)].first)) {
                    return QStringLiteral(
                               "parameter %1 of %2 is %3, but the shell passes %4 "
                               "there (fault 13)")
                        .arg(i + 1)
                        .arg(signatureOf(method), QLatin1String(method.parameterMetaType(i).name()),
                             QLatin1String(passed[static_cast<size_t>(i)].second));
                }
            }
            break;
        }
        return {};
    }
    const QMetaProperty property = meta->property(meta->indexOfProperty(name.constData()));
    if (property.isValid() && call.arguments == 0) {
        return call.assignment
                   ? QStringLiteral("property %1 has no WRITE accessor: the shell assigns to it")
                         .arg(QString::fromLatin1(name))
                   : QStringLiteral("property %1 has no READ accessor: the shell reads it")
                         .arg(QString::fromLatin1(name));
    }
    QStringList others;
    for (int index = 0; index < meta->methodCount(); ++index) {
        const QMetaMethod method = meta->method(index);
        if (method.name() == name) {
            others.append((method.methodType() == QMetaMethod::Signal ? QStringLiteral("signal ")
                                                                      : QString()) +
                          signatureOf(method));
        }
    }
    const QString count =
        QStringLiteral("%1 argument%2").arg(passed.size()).arg(passed.size() == 1 ? "" : "s");
    if (!others.isEmpty()) {
        return QStringLiteral("%1 declares %2, but the shell calls %3 with %4")
            .arg(QLatin1String(meta->className()), others.join(QStringLiteral(", ")),
                 QString::fromLatin1(name), count);
    }
    if (libraryDefines(libraryFile, meta->className(), name)) {
        return QStringLiteral(
                   "%1::%2 is a C++ function but not Q_INVOKABLE: the shell reaches "
                   "only Q_INVOKABLE functions and Q_PROPERTY members")
            .arg(QLatin1String(meta->className()), QString::fromLatin1(name));
    }
    return QStringLiteral(
               "%1 declares no Q_INVOKABLE function %2 with %3 (nor, for a call "
               "without arguments, a Q_PROPERTY)")
        .arg(QLatin1String(meta->className()), QString::fromLatin1(name), count);
}

}  // namespace kestrix::check
