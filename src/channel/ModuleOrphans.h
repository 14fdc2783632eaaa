#pragma once

#include <sys/types.h>
#include <QByteArray>

namespace kestrix {

// What a module starts belongs to the module: when it stops, restarts or the shell ends, none of
// it may go on. Both programs are child subreapers (what a module starts and detaches, by setsid
// and a second fork, becomes the module host's child, or the shell's once the host is gone), and
// each module host carries a mark in its environment that its descendants inherit.
namespace ModuleOrphans {

// The environment variable that marks a module host and what it starts.
constexpr char MarkVariable[] = "KESTRIX_MODULE_PROCESS";

// Makes this process the reaper of its orphaned descendants. False where the system cannot.
bool becomeSubreaper();

// The shell's side, once a module host has ended: ends and reaps each child of the shell that
// carries the host's mark or belongs to the host's process group.
void endOrphansOf(const QByteArray& mark, pid_t hostGroup);

// The module host's side, as it ends: kills every process below it (its own children, then those
// that become its children as their parents die) and reaps them. Only system calls: safe in a
// signal handler.
void endDescendantsOfThisProcess();

}  // namespace ModuleOrphans
}  // namespace kestrix
