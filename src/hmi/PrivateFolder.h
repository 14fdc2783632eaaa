#pragma once

#include <QString>

namespace kestrix {

// Folders that only this user can enter. The runtime's socket, lock and journal live in one, so
// that no other user can reach them or put anything in their place.

// Empty when the folder is this user's own, is no symbolic link, is closed to group and others,
// and every folder above it is trusted (files/TrustedPath.h); else why it is not.
QString whyNotPrivate(const QString& folder);

// The folder for the runtime's files: $XDG_RUNTIME_DIR when it is an absolute path and private,
// else "kestrix" in the user's cache folder ($XDG_CACHE_HOME when absolute, else ~/.cache),
// which is created private when missing and, when it exists, used only if it is private. No
// other user can make that folder first, as they could in the shared temporary folder. Empty,
// with the reason in `error`, when there is no such folder.
QString privateRuntimeFolder(QString& error);

}  // namespace kestrix
