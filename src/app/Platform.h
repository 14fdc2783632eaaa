#pragma once

#include <QString>
#include <functional>

#include "platform/Screen.h"

namespace kestrix {

class Clock;
class ControlFactory;
class Desktop;
class Dialogs;
class HmiRuntime;
class ProcessRunner;

// Everything the windows need from the machine they run on, in one place: the real seams in the
// program, fakes in tests.
struct Platform {
    Dialogs& dialogs;
    Desktop& desktop;
    ControlFactory& controls;
    HmiRuntime& runtime;
    const Clock& clock;
    ProcessRunner& processes;
    ScreenTwips twips;
    // The program's own directory, without a trailing separator.
    QString programDirectory;
    // Ends the process at once, running no further window code.
    std::function<void(int exitCode)> endProgram;
};

}  // namespace kestrix
