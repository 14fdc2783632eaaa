#pragma once

#include <QString>

namespace kestrix {

// Where the HMI runtime listens. The runtime and every client (the shell, `kestrix-hmi set` and
// the others) take the name from here, so they always meet: $KESTRIX_HMI_SOCKET when set, else
// "kestrix-hmi-" followed by the user's id, so that two users of one PC never share a runtime.
QString hmiSocketName();

// The file system path behind a socket name: the name itself when it is absolute, else the name
// in the temporary folder (where QLocalServer puts it).
QString hmiSocketPath(const QString& socketName);

// The runtime's journal: $KESTRIX_HMI_JOURNAL when set, else beside the socket, named after it
// with ".journal".
QString hmiJournalPath(const QString& socketName);

// The lock a runtime holds while it serves a name, so that a second one on the same name does
// not start.
QString hmiLockPath(const QString& socketName);

}  // namespace kestrix
