#pragma once

#include <QString>

namespace kestrix {

// Folders that only this user can enter. The runtime's socket, lock and journal live in one, so
// that no other user can reach them or put anything in their place.

// Empty when the folder is this user's own, is no symbolic link and is closed to group and
// others; else why it is not.
QString whyNotPrivate(const QString& folder);

// The folder for the runtime's files: $XDG_RUNTIME_DIR when it is private, else "kestrix-<uid>"
// in the temporary folder, which is created private when missing and, when it exists, used only
// if it is private. Empty, with the reason in `error`, when there is no such folder.
QString privateRuntimeFolder(QString& error);

}  // namespace kestrix
