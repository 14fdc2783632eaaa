#pragma once

#include <QString>

namespace kestrix {

// Where the shell may load plug-in libraries from: only from absolute folders, and only folders
// and libraries that are trusted (files/TrustedPath.h): they and every folder above them belong
// to the user or root, nobody else may write to them, and a folder above them that others may
// write to is sticky. So no other user can place code in the shell's process, nor rename a
// folder away and put one of their own in its place. Each returns why the shell passes the
// folder or library over, as the line it writes on standard error, or an empty text when it may
// be used.
QString unsafePluginFolder(const QString& folder);
QString unsafePluginLibrary(const QString& file);

}  // namespace kestrix
