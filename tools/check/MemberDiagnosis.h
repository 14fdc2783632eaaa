#pragma once

#include <QObject>
#include <QString>

#include "host/ModuleCalls.h"

namespace kestrix::check {

// Why the shell's call of a member by name would fail on this control, or an empty text when
// nothing speaks against it: a member of that name that takes other arguments, a read-only
// property, a signal, a parameter of a type the shell's argument does not take, or a C++
// function that the library has but did not declare Q_INVOKABLE (looked up among the library's
// symbols).
QString whyNotCallable(const QObject& control, const ModuleCalls::Member& call,
                       const QString& libraryFile);

}  // namespace kestrix::check
