#pragma once

#include <QString>

#include "fault/Fault.h"

namespace kestrix {

// Why the shell stops a module that runs in a process of its own, and the fault it logs for the
// stop, in these words.
namespace ModuleStop {

// How the cause names the creation of the control, the first call a module's process answers.
inline const QString CreationCall = QStringLiteral("its creation");

// "its process ended on signal 11 (Segmentation fault)", "its process ended with exit status 3".
QString processEnded(int code, bool bySignal);
// "did not answer Init within 10 s".
QString unanswered(const QString& member, int seconds);
// A process that sent what is no message of the channel's.
inline const QString Unreadable =
    QStringLiteral("its process sent a message the shell cannot read");
// A process that sent more messages than the channel takes within a second.
QString flooded(int messagesPerSecond);
// A process whose channel could not be made ("its channel could not be made: Too many open
// files").
QString noChannel(int error);
// How the cause names the shell's check that a running module's event loop still turns.
inline const QString LifeCheck = QStringLiteral("the shell's life check");
// The stop of the module with this control name ("O3") and ProgID: Automation error (440)
// "the module in slot 3 stopped: <cause>" under the ProgID.
Fault fault(const QString& controlName, const QString& progId, const QString& cause);

}  // namespace ModuleStop
}  // namespace kestrix
