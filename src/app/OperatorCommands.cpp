// The operator window's command buttons "End", "Log File" and "Hide". None of them traps a
// fault: the one call that can fault, InternEndProgram, traps its own.

#include <QCoreApplication>

#include "app/KestrixCentral.h"
#include "app/Modul.h"
#include "app/Platform.h"
#include "platform/Dialogs.h"
#include "platform/TextEditor.h"

namespace kestrix {

void KestrixCentral::cmdEnd_Click() {
    const int answer =
        platform_.dialogs.MsgBox(QStringLiteral("Are you sure to close the Kestrix ?"),
                                 MsgBoxStyle::YesNo | MsgBoxStyle::Critical);
    if (answer == MsgBoxResult::Yes) {
        InternEndProgram();
    }
}

void KestrixCentral::cmdError_Click() {
    // The log's path is one argument of its own, whatever blanks, quotes or semicolons it holds.
    QStringList command = textEditorCommand();
    const QString program = command.isEmpty() ? QString() : command.takeFirst();
    Modul::RunAndWait(platform_.processes, program, command << Log.LogDateiName);
}

void KestrixCentral::cmdHide_Click() {
    if (WatchedWindow > 0) {
        QCoreApplication::processEvents();
        platform_.desktop.SetForegroundWindow(WatchedWindow);
        platform_.desktop.SetActiveWindow(WatchedWindow);
    }
}

}  // namespace kestrix
