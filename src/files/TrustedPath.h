#pragma once

#include <QString>

namespace kestrix {

// A path is trusted when nobody but the user and root can change what it leads to: it and every
// folder above it up to "/" belong to the user or root, and it may be written by its owner alone.
// A folder above it that others may write to is accepted only when it is sticky (like /tmp):
// there, others can neither remove nor rename what belongs to the user or root. Links are
// followed, and the folders the path really lies in are the ones looked at.

// Empty when the path is trusted; else why not, as a phrase to follow the path's name
// ("belongs to another user (1001)", "writable by others than its owner and root", "lies in
// /srv, which others may write to and which is not sticky", ...).
QString whyUntrusted(const QString& path);

// The same for the folders above the path only: the path itself is left to the caller, which
// may hold it to a stricter rule.
QString whyParentsUntrusted(const QString& path);

}  // namespace kestrix
