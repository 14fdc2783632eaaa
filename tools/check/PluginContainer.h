#pragma once

#include <QString>
#include <cstdint>

#include "IsolatedRun.h"

namespace kestrix::check {

// What the container hands the control, and how long it lets it run.
struct ContainerOptions {
    QString library;  // a library file, or empty to look the ProgID up in the shell's folders
    QString progId;   // with no library: the ProgID to look up
    int16_t unit = 1;
    int16_t machine = 1;
    QString machineName = QStringLiteral("Machine 1");
    int runSeconds = 2;
};

// The steps of the container, by the names their records carry.
namespace ContainerStep {
inline const QString Run = QStringLiteral("run");
}

// The test container, in a process of its own that does not run the module: offscreen, it finds
// the library, creates one control the way the shell's NeuesObjekt does, in a module process of
// the shell's (the module host program beside this one, through the shell's own factory, extender
// and event sink 1), then takes it through the shell's calls (Init, Refresh, placement and
// height, a run with its events, Terminate, the end: the control destroyed in its process, which
// then ends by itself). What the module's process does (a crash, an exit, a call it leaves
// unanswered past the answer limit, garbage on its channel, a fault of its own code) is what the
// shell meets, and is reported as the line the shell logs. Every step and its outcome is a record:
//   library  {file, progId, shadows, metaData, iid, className}   where the control comes from
//   skipped  {line}                       a folder or library the shell passes over
//   step     {step, call}                 a step begins
//   finding  {step, kind, text}           a fault line the shell would log (kind "fault", or
//                                         "stop" for the stop of the module's process), a call
//                                         answered late ("blocked"), or (kind "refused") why it
//                                         would not take the library at all
//   members  {members, dispIds, events}   what the host's calls reach, and the control's events
//   event    {step, slot, name, box, arguments}   an event as the shell routes it
//   height   {twips, pixels}
//   survivor {step, pid, command}         a process below the module's that left its group
//   done     {step}                       a step has ended
//   end      {}                           all steps have run
void runContainer(const ContainerOptions& options, RecordWriter& out);

}  // namespace kestrix::check
