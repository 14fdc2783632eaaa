#pragma once

#include <QString>

namespace kestrix {

// The shell's notices (a log that cannot be written, no editor, a plug-in folder skipped, ...):
// one line on standard error and an entry in the journal, as a kiosk session shows no standard
// error. Where standard error is the journal already (a service's), the entry alone is made, so
// that no notice is there twice.
void notice(const QString& line) noexcept;

// Makes every Qt message (qWarning and the like: the notices of the HMI link and the plug-in
// folders) a notice too, with its priority.
void forwardQtMessagesToJournal();

}  // namespace kestrix
