#pragma once

#include <QString>

namespace kestrix {

// Cuts a path at its last separator and keeps the text before it ("/a/b/c" → "/a/b"); faults with
// 5 "Invalid procedure call" style subscript error when no separator is left to cut at.
QString cutAtLastSeparator(const QString& path);

// The installation root: the program's own directory with its last two components cut off
// (<root>/Program/Kestrix → <root>).
QString installationRootOf(const QString& programDirectory);

// The paths the program reads below the root.
QString programIniOf(const QString& root);
QString kestrixIniOf(const QString& root);
QString defaultLogFileOf(const QString& root);

}  // namespace kestrix
