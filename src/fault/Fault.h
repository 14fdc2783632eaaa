#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kestrix {

// The classic run-time error numbers, so that fault lines read the same on every platform.
namespace ErrorNumber {
inline constexpr int32_t InvalidProcedureCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t PathFileAccessError = 75;
inline constexpr int32_t ObjectNotSet = 91;
inline constexpr int32_t CannotCreateObject = 429;
inline constexpr int32_t AutomationError = 440;
inline constexpr int32_t NoSuchMember = 438;
}  // namespace ErrorNumber

// The source the program names for faults of its own making.
inline const QString OwnFaultSource = QStringLiteral("Kestrix");

// A run-time fault: the number, description and source the fault line reports.
class Fault {
public:
    Fault(int32_t number, QString description, QString source = OwnFaultSource);

    // A fault of the program's own with the standard text of its number.
    static Fault ofNumber(int32_t number, QString source = OwnFaultSource);
    static QString standardDescription(int32_t number);

    int32_t number() const { return number_; }
    const QString& description() const { return description_; }
    const QString& source() const { return source_; }

private:
    int32_t number_;
    QString description_;
    QString source_;
};

[[noreturn]] void raiseFault(int32_t number);

// The fault that is being handled right now, from inside a catch block: a Fault as it is, a C++
// exception as a fault of the program's own ("Automation error" with its text, or out of memory).
Fault currentFault();

// "Fault " + number + "; " + description + "; " + fault source + "; " + procedure's source string.
QString faultLine(const Fault& fault, const QString& sourceString);

// The parts of a fault line, read back from its text (for the journal's fields). The fault
// source and the source string are the last two parts, so a description may hold "; " itself.
struct FaultLineParts {
    int32_t number = 0;
    QString description;
    QString faultSource;
    QString sourceString;
};
// Nothing when the text is no fault line.
std::optional<FaultLineParts> readFaultLine(const QString& text);

}  // namespace kestrix
