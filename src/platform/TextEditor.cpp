#include "platform/TextEditor.h"

#include <QProcess>
#include <QStandardPaths>

namespace kestrix {

namespace {

struct KnownEditor {
    const char* program;
    // The argument that makes this start a process of its own that lives until its window is
    // closed (or, for a wait flag, until the file is closed); nullptr where every start is such a
    // process already or the editor has no such mode. It comes first: some editors take it only
    // there.
    const char* waitingMode;
};

// Graphical text editors looked for on the PATH when KESTRIX_EDITOR is not set, in this order.
const KnownEditor KnownEditors[] = {
    {"gnome-text-editor", "--standalone"},
    {"gedit", "--standalone"},
    {"kate", "--new"},
    {"kwrite", nullptr},  // every start is a process of its own
    {"mousepad", "--disable-server"},
    {"pluma", nullptr},  // no such mode: a running pluma takes the file over
    {"xed", "--wait"},
    {"featherpad", "--standalone"},
    {"leafpad", nullptr},  // every start is a process of its own
    {"geany", "--new-instance"},
};

}  // namespace

QStringList textEditorCommand() {
    const QString configured = qEnvironmentVariable("KESTRIX_EDITOR");
    if (!configured.isEmpty()) {
        return QProcess::splitCommand(configured);
    }
    for (const KnownEditor& editor : KnownEditors) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(editor.program));
        if (found.isEmpty()) {
            continue;
        }
        QStringList command{found};
        if (editor.waitingMode != nullptr) {
            command.append(QString::fromLatin1(editor.waitingMode));
        }
        return command;
    }
    return {};
}

}  // namespace kestrix
