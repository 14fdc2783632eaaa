// The operator window's command buttons "End", "Log File" and "Hide". None of them traps a
// fault: the one call that can fault, InternEndProgram, traps its own.

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include "app/KestrixCentral.h"
#include "app/Modul.h"
#include "app/Platform.h"
#include "platform/Dialogs.h"

namespace kestrix {

namespace {

// Graphical text editors looked for on the PATH when KESTRIX_EDITOR is not set, in this order.
// Each stays in the foreground until its window is closed, so waiting for it means waiting for
// the operator.
const char* const KnownEditors[] = {"gnome-text-editor", "gedit", "kate", "kwrite",
                                    "mousepad",          "pluma", "xed",  "featherpad",
                                    "leafpad",           "geany"};

// The editor's program and its own arguments; an empty program when there is none.
QStringList textEditorCommand() {
    const QString configured = qEnvironmentVariable("KESTRIX_EDITOR");
    if (!configured.isEmpty()) {
        return QProcess::splitCommand(configured);
    }
    for (const char* editor : KnownEditors) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(editor));
        if (!found.isEmpty()) {
            return {found};
        }
    }
    return {};
}

}  // namespace

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
