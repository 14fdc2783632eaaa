#pragma once

#include <QString>

namespace kestrix {

// Where the shell may load plug-in libraries from: only from absolute folders, and only folders
// and libraries that nobody but their owner and root may write to, so that no other user can
// place code in the shell's process. Each returns why the shell passes the folder or library
// over, as the line it writes on standard error, or an empty text when it may be used.
QString unsafePluginFolder(const QString& folder);
QString unsafePluginLibrary(const QString& file);

}  // namespace kestrix
