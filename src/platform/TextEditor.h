#pragma once

#include <QStringList>

namespace kestrix {

// The text editor that shows the log: its program followed by its own arguments, to which the
// caller adds the file's path as one more argument; empty when there is none.
//
// KESTRIX_EDITOR, when set, is the operator's own command and is taken as it is. Otherwise the
// first known graphical editor on the PATH is started in its waiting mode: many editors hand a
// file to an instance that is already running and end at once, and then waiting for the editor
// would not wait for the operator.
QStringList textEditorCommand();

}  // namespace kestrix
