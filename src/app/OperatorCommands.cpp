// The operator window's command buttons "End", "Log File" and "Hide". None of them traps a
// fault: the one call that can fault, InternEndProgram, traps its own.

#include <QCoreApplication>

#include "app/KestrixCentral.h"
#include "app/LoadedForms.h"
#include "app/LogView.h"
#include "app/Modul.h"
#include "app/OperatorSession.h"
#include "app/Platform.h"
#include "journal/LineRecords.h"
#include "journal/Notices.h"
#include "platform/Dialogs.h"
#include "platform/TextEditor.h"

namespace kestrix {

// Once the end has begun there is nothing left to ask.
void OperatorSession::cmdEnd_Click() {
    RunningProcedures::Running running(forms_.procedures());
    if (ProgramEnding) {
        return;
    }
    const int answer =
        platform_.dialogs.MsgBox(QStringLiteral("Are you sure to close the Kestrix ?"),
                                 MsgBoxStyle::YesNo | MsgBoxStyle::Critical);
    if (answer == MsgBoxResult::Yes) {
        journalLineEnding(QStringLiteral("the operator's End"));
        InternEndProgram();
    }
}

// A click on "End" during the wait runs the end while the wait goes on. Without an editor the
// shell shows the log in its own view, which follows the log as it grows.
void OperatorSession::cmdError_Click() {
    RunningProcedures::Running running(forms_.procedures());
    // The log's path is one argument of its own, whatever blanks, quotes or semicolons it holds.
    QStringList command = textEditorCommand();
    if (command.isEmpty()) {
        if (logView_ == nullptr || logView_->path() != Log.LogDateiName) {
            delete logView_;
            logView_ = new LogView(Log.LogDateiName, window_.get());
        }
        logView_->showInFront();
        return;
    }
    const QString program = command.takeFirst();
    Modul::RunAndWait(platform_.processes, program, command << Log.LogDateiName);
}

// When the end begins during the pass of events, the start window has come forward and stays so.
void OperatorSession::cmdHide_Click() {
    RunningProcedures::Running running(forms_.procedures());
    if (WatchedWindow > 0) {
        QCoreApplication::processEvents();
        if (ProgramEnding) {
            return;
        }
        platform_.desktop.SetForegroundWindow(WatchedWindow);
        platform_.desktop.SetActiveWindow(WatchedWindow);
    }
}

}  // namespace kestrix
