#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <cstdint>
#include <utility>
#include <vector>

#include "fault/Fault.h"

namespace kestrix {

// A C++ exception that escaped a control's own code, as a fault (Automation error, the exception's
// text, the control's class name as source). Its own type so that the extender can name the
// control by its ProgID instead.
class ControlFault : public Fault {
public:
    using Fault::Fault;
};

// Late-bound access to a control's members through its meta-object, by name or by dispatch id.
// A control declares its members with Q_PROPERTY and Q_INVOKABLE, and its dispatch ids with
//     Q_CLASSINFO("DispId 0x68030002", "RangeMax")      (or "DispId 142", decimal)
// which maps the id onto the member of that name.
//
// Every call faults the classic way: an empty reference 91, a missing member 438, an argument or
// value that does not convert 13; a C++ exception thrown by the control becomes a fault whose
// source is the control's class name.
namespace LateBinding {

// Reads a property, or calls a member function without arguments and returns its result.
QVariant get(QObject* control, const QString& member);

// An assignment: without arguments a property write (or a member function called with the value);
// with arguments the member function called with the arguments followed by the value.
void let(QObject* control, const QString& member, const QVariant& value,
         const QVariantList& arguments = {});

// Calls a member function with these arguments and returns its result.
QVariant call(QObject* control, const QString& member, const QVariantList& arguments = {});

// What an access by name reaches, for showing a control's members: the signature of the property
// ("property int AbsoluteHoehe") or member function ("void Refresh(bool)") that a read (get,
// call) or an assignment (let) with that many arguments reaches, or an empty text when the access
// would fault with 438.
QString memberReached(QObject* control, const QString& member, qsizetype argumentCount,
                      bool assignment);

// The value converted to the meta type of a parameter or property as every access converts it:
// whole numbers rounded half to even and Overflow (6) where they do not fit, Type mismatch (13)
// where the value does not convert.
QVariant convertedTo(const QVariant& value, QMetaType type);

// The dispatch ids the control declares and the member each names, in declaration order.
std::vector<std::pair<int32_t, QString>> dispIds(QObject* control);

// The member that a dispatch id names on this control; 438 when it declares none.
QString memberOfDispId(QObject* control, int dispId);

void letId(QObject* control, int dispId, const QVariant& value);
QVariant callId(QObject* control, int dispId, const QVariantList& arguments = {});

}  // namespace LateBinding
}  // namespace kestrix
