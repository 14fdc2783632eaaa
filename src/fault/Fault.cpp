#include "fault/Fault.h"

#include <exception>
#include <new>
#include <utility>

namespace kestrix {

Fault::Fault(int32_t number, QString description, QString source)
    : number_(number), description_(std::move(description)), source_(std::move(source)) {}

Fault Fault::ofNumber(int32_t number, QString source) {
    return Fault(number, standardDescription(number), std::move(source));
}

QString Fault::standardDescription(int32_t number) {
    switch (number) {
        case ErrorNumber::InvalidProcedureCall:
            return QStringLiteral("Invalid procedure call or argument");
        case ErrorNumber::Overflow:
            return QStringLiteral("Overflow");
        case ErrorNumber::OutOfMemory:
            return QStringLiteral("Out of memory");
        case ErrorNumber::SubscriptOutOfRange:
            return QStringLiteral("Subscript out of range");
        case ErrorNumber::TypeMismatch:
            return QStringLiteral("Type mismatch");
        case ErrorNumber::FileNotFound:
            return QStringLiteral("File not found");
        case ErrorNumber::PathFileAccessError:
            return QStringLiteral("Path/File access error");
        case ErrorNumber::ObjectNotSet:
            return QStringLiteral("Object variable or With block variable not set");
        case ErrorNumber::CannotCreateObject:
            return QStringLiteral("ActiveX component can't create object");
        case ErrorNumber::NoSuchMember:
            return QStringLiteral("Object doesn't support this property or method");
        case ErrorNumber::AutomationError:
            return QStringLiteral("Automation error");
        default:
            return QStringLiteral("Application-defined or object-defined error");
    }
}

void raiseFault(int32_t number) {
    throw Fault::ofNumber(number);
}

Fault currentFault() {
    try {
        throw;
    } catch (const Fault& fault) {
        return fault;
    } catch (const std::bad_alloc&) {
        return Fault::ofNumber(ErrorNumber::OutOfMemory);
    } catch (const std::exception& e) {
        return Fault(ErrorNumber::AutomationError, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return Fault::ofNumber(ErrorNumber::AutomationError);
    }
}

QString faultLine(const Fault& fault, const QString& sourceString) {
    return QStringLiteral("Fault ") + QString::number(fault.number()) + QStringLiteral("; ") +
           fault.description() + QStringLiteral("; ") + fault.source() + QStringLiteral("; ") +
           sourceString;
}

std::optional<FaultLineParts> readFaultLine(const QString& text) {
    static const QString prefix = QStringLiteral("Fault ");
    static const QString separator = QStringLiteral("; ");
    if (!text.startsWith(prefix)) {
        return std::nullopt;
    }
    const qsizetype numberEnd = text.indexOf(separator, prefix.size());
    const qsizetype lastSeparator = text.lastIndexOf(separator);
    const qsizetype sourceSeparator =
        lastSeparator > numberEnd ? text.lastIndexOf(separator, lastSeparator - 1) : -1;
    if (numberEnd < 0 || sourceSeparator <= numberEnd) {
        return std::nullopt;
    }
    bool isNumber = false;
    FaultLineParts parts;
    parts.number = text.mid(prefix.size(), numberEnd - prefix.size()).toInt(&isNumber);
    if (!isNumber) {
        return std::nullopt;
    }
    const qsizetype descriptionStart = numberEnd + separator.size();
    parts.description = text.mid(descriptionStart, sourceSeparator - descriptionStart);
    const qsizetype faultSourceStart = sourceSeparator + separator.size();
    parts.faultSource = text.mid(faultSourceStart, lastSeparator - faultSourceStart);
    parts.sourceString = text.mid(lastSeparator + separator.size());
    return parts;
}

}  // namespace kestrix
