#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "ScopedVariable.h"
#include "platform/TextEditor.h"

namespace kestrix {
namespace {

// Many editors hand a file to an instance already running and end at once; "Log File" waits for
// the editor, so each known editor is started in the mode that keeps its process until the
// operator closes it. The operator's own command is taken as it is.
TEST(TextEditor, TakesTheOperatorsCommandElseTheFirstKnownEditorInItsWaitingMode) {
    QTemporaryDir bin;
    auto install = [&](const QString& name) {
        QFile program(bin.filePath(name));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    };
    ScopedVariable path("PATH", bin.path().toLocal8Bit());
    ScopedVariable configured("KESTRIX_EDITOR", {});

    EXPECT_TRUE(textEditorCommand().isEmpty());

    install(QStringLiteral("geany"));
    EXPECT_EQ(textEditorCommand(), (QStringList{bin.filePath("geany"), "--new-instance"}));
    install(QStringLiteral("kwrite"));  // comes first, and every start is its own process
    EXPECT_EQ(textEditorCommand(), QStringList{bin.filePath("kwrite")});
    install(QStringLiteral("gedit"));
    EXPECT_EQ(textEditorCommand(), (QStringList{bin.filePath("gedit"), "--standalone"}));

    qputenv("KESTRIX_EDITOR", "gedit --new-window");
    EXPECT_EQ(textEditorCommand(), (QStringList{"gedit", "--new-window"}));
}

}  // namespace
}  // namespace kestrix
