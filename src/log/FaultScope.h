#pragma once

#include <QString>
#include <utility>

#include "fault/Fault.h"
#include "log/LogWriter.h"

namespace kestrix {

// The fault convention of the operator window's procedures: each step runs guarded; a fault in
// a step writes one fault line (error flag) ending in the procedure's source string, and the
// procedure goes on with its next step. So a procedure reads as its list of steps:
//
//     FaultScope p(Log, QStringLiteral("KX.Form_Activate"));
//     p.step([&] { LogDateiGroesse = ...; });
//     if (p.test([&] { return WatchedWindow > 0; })) { ... }
//
// No exception leaves a step, so a procedure written this way is safe at any event-loop edge.
class FaultScope {
public:
    FaultScope(LogWriter& log, QString sourceString)
        : log_(log), sourceString_(std::move(sourceString)) {}

    const QString& sourceString() const { return sourceString_; }

    // Runs one step; a fault writes the fault line and is cleared. Returns false when it faulted.
    template <class Step>
    bool step(Step&& work) noexcept {
        try {
            std::forward<Step>(work)();
            return true;
        } catch (...) {
            report(currentFault());
            return false;
        }
    }

    // The test of an if-step: a fault in the test writes the fault line and counts as passed, so
    // the guarded steps run.
    template <class Test>
    bool test(Test&& condition) noexcept {
        try {
            return static_cast<bool>(std::forward<Test>(condition)());
        } catch (...) {
            report(currentFault());
            return true;
        }
    }

    // Runs a step under a handler of its own: a fault calls onFault with the fault instead of
    // writing the ordinary line (the creation of a plug-in marks its slot this way).
    template <class Step, class OnFault>
    void stepOr(Step&& work, OnFault&& onFault) noexcept {
        try {
            std::forward<Step>(work)();
        } catch (...) {
            Fault fault = currentFault();
            step([&] { std::forward<OnFault>(onFault)(fault); });
        }
    }

    // Writes the ordinary fault line for a fault of this procedure.
    void report(const Fault& fault) noexcept {
        try {
            log_.WriteLogLine(faultLine(fault, sourceString_), LogWriter::Line::Error);
        } catch (...) {
            // The writer swallows its own failures; nothing else may escape a procedure.
        }
    }

private:
    LogWriter& log_;
    QString sourceString_;
};

}  // namespace kestrix
