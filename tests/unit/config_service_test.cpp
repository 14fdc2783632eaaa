// The three readers on real files: defaults, the 16-bit cut, the Boolean rule, UTF-8 and 8-bit
// text, the not-found message, and failures that must stay silent.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

#include "FakeDialogs.h"
#include "config/Service.h"
#include "log/LogWriter.h"
#include "platform/Clock.h"
#include "platform/QProcessRunner.h"

namespace kestrix {
namespace {

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString writeIni(const QByteArray& content, const QString& name = "Test.ini") {
        QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(content), content.size());
        return path;
    }

    void expectDefaults(const QString& file, const char* key = "Resolution") {
        EXPECT_EQ(service.LoadIniInteger("Project", key, file, false), -1);
        EXPECT_TRUE(service.LoadIniString("Project", key, file, false).isEmpty());
        EXPECT_FALSE(service.LoadIniBoolean("Project", key, file, false));
    }

    QTemporaryDir folder;
    FakeDialogs dialogs;
    Service service{dialogs};
};

TEST_F(ServiceTest, AFileThatIsMissingOrCannotBeReadGivesTheDefaultsSilently) {
    QString regularFile = writeIni("[Project]\nResolution=800\n");
    for (const QString& file : {folder.filePath("Missing.ini"), folder.path(), QString(),
                                QString("/dev/zero"), regularFile + "/below"}) {
        SCOPED_TRACE(file.toStdString());
        expectDefaults(file);
    }
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(ServiceTest, AFileWithoutReadPermissionGivesTheDefaults) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "the superuser reads every file";
    }
    QString file = writeIni("[Project]\nResolution=800\n");
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::WriteOwner));
    expectDefaults(file);
}

TEST_F(ServiceTest, AnEmptyValueReadsLikeAMissingKeyInAllThreeReaders) {
    QString file = writeIni("[Project]\nEmpty=\nQuotedEmpty=\"\"\n");
    expectDefaults(file, "Empty");
    expectDefaults(file, "QuotedEmpty");
}

TEST_F(ServiceTest, IntegersKeepTheirLowSixteenBitsAsASignedNumber) {
    QString file = writeIni(
        "[Project]\nResolution = 800 \nBig=70000\nAllOnes=65535\nJustAbove=65537\n"
        "Negative=40000\nMinusOne=-1\nText=abc\nQuoted=\"1024\"\n");
    EXPECT_EQ(service.LoadIniInteger("Project", "Resolution", file, false), 800);
    EXPECT_EQ(service.LoadIniInteger("Project", "Big", file, false), 4464);
    EXPECT_EQ(service.LoadIniInteger("Project", "AllOnes", file, false), -1);
    EXPECT_EQ(service.LoadIniInteger("Project", "JustAbove", file, false), 1);
    EXPECT_EQ(service.LoadIniInteger("Project", "Negative", file, false), -25536);
    EXPECT_EQ(service.LoadIniInteger("Project", "MinusOne", file, false), -1);
    EXPECT_EQ(service.LoadIniInteger("Project", "Text", file, false), 0);
    EXPECT_EQ(service.LoadIniInteger("Project", "Quoted", file, false), 1024);
}

TEST_F(ServiceTest, OnlyTrueInAnyCaseIsTrue) {
    QString file =
        writeIni("[Project]\nA=true\nB=True\nC=\"TRUE\"\nD=1\nE=yes\nF=FALSE\nG=truer\n");
    for (const char* key : {"A", "B", "C"}) {
        EXPECT_TRUE(service.LoadIniBoolean("Project", key, file, false)) << key;
    }
    for (const char* key : {"D", "E", "F", "G"}) {
        EXPECT_FALSE(service.LoadIniBoolean("Project", key, file, false)) << key;
    }
}

TEST_F(ServiceTest, TextIsUtf8WhenValidElseOneCharacterPerByteCutTo254) {
    QString file = writeIni(
        "\xEF\xBB\xBF[Ma\xDF"
        "e]\nL\xE4nge=M\xE4schine \xFC\xFF\nLong=" +
        QByteArray(300, 'a') + "\nUtf8=" + QString::fromUtf8("Prüfung – Łódź").toUtf8() +
        "\nLongUtf8=" + QByteArray(253, 'a') + "\xC3\xBC\n");
    QString section = QString::fromLatin1(
        "Ma\xDF"
        "e");
    QString value = service.LoadIniString(section, QString::fromLatin1("L\xE4nge"), file, false);
    EXPECT_EQ(value, QString::fromLatin1("M\xE4schine \xFC\xFF"));
    EXPECT_EQ(value.size(), 11);
    EXPECT_EQ(service.LoadIniString(section, "Long", file, false), QString(254, QChar('a')));
    EXPECT_EQ(service.LoadIniString(section, "Utf8", file, false),
              QString::fromUtf8("Prüfung – Łódź"));
    // Cut in the middle of the "ü": the half character goes, the text stays UTF-8.
    EXPECT_EQ(service.LoadIniString(section, "LongUtf8", file, false), QString(253, QChar('a')));
}

// A UTF-8 Kestrix.ini names a log with non-ASCII characters: the log lands under exactly that
// name, and the editor is handed exactly that name and can read the log there.
TEST_F(ServiceTest, AUtf8LogFileNameReachesTheDiskAndTheEditorUnchanged) {
    const QByteArray logName =
        folder.path().toUtf8() + QString::fromUtf8("/Prüfung – Linie 2.log").toUtf8();
    const QString ini = writeIni("[Project]\r\nLogFileName=" + logName + "\r\n", "Kestrix.ini");
    SystemClock clock;
    LogWriter log(clock);
    log.LogDateiName = service.LoadIniString("Project", "LogFileName", ini, false);
    log.LogDateiGroesse = 10;
    log.WriteLogLine("written", false, false, true);
    EXPECT_EQ(::access(logName.constData(), R_OK), 0) << "no log at the INI's name";

    // The editor records the bytes of its argument and what it reads under that name.
    const QString editor = writeIni(
        "#!/bin/sh\ncd \"$(dirname \"$0\")\"\nprintf '%s' \"$1\" > argument\n"
        "cat -- \"$1\" > seen\n",
        "editor");
    ASSERT_TRUE(QFile::setPermissions(editor, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QProcessRunner processes;
    const int handle = processes.start(editor, {log.LogDateiName});
    ASSERT_NE(handle, 0);
    EXPECT_EQ(processes.waitFor(handle, 30000), ProcessRunner::Wait::Ended);
    processes.close(handle);
    auto contentOf = [&](const char* name) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_EQ(contentOf("argument"), logName);
    EXPECT_TRUE(contentOf("seen").endsWith(" written\r\n")) << contentOf("seen").toStdString();
}

TEST_F(ServiceTest, EveryCallReadsTheFileAfreshAtAPathWithNonAsciiCharacters) {
    QString file = writeIni("[Project]\nResolution=800\n", QString::fromUtf8("Prüfstand ü.ini"));
    EXPECT_EQ(service.LoadIniInteger("Project", "Resolution", file, false), 800);
    writeIni("[Project]\nResolution=1024\n", QString::fromUtf8("Prüfstand ü.ini"));
    EXPECT_EQ(service.LoadIniInteger("Project", "Resolution", file, false), 1024);
}

TEST_F(ServiceTest, AKeyAtTheEndOfAFiftyMegabyteFileIsFound) {
    QByteArray content = "[Project]\r\n";
    content.reserve(50 * 1024 * 1024 + 100);
    QByteArray line = "Filler = " + QByteArray(90, 'f') + "\r\n";
    while (content.size() < 50 * 1024 * 1024) {
        content += line;
    }
    QString file = writeIni(content + "Resolution=1280\r\n");
    EXPECT_EQ(service.LoadIniInteger("Project", "Resolution", file, false), 1280);
}

TEST_F(ServiceTest, TheNotFoundMessageNamesFileSectionAndKeyInABoxWithOkOnly) {
    QString file = folder.filePath("Missing.ini");
    EXPECT_EQ(service.LoadIniInteger("Project", "Resolution", file, true), -1);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].prompt,
              "File '" + file + "' or Section [Project] or Entry 'Resolution' not found");
    EXPECT_EQ(dialogs.boxes[0].style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(dialogs.boxes[0].title, "Kestrix");
}

TEST_F(ServiceTest, TheMessageComesOnlyWhenTheReaderHasNoUsableValue) {
    QString file = writeIni(
        "[Project]\nMinusOne=-1\nAllOnes=65535\nEmpty=\nYes=yes\nNo=false\nOne=1\n"
        "Zero=0\nMinusTwo=-2\nName=x\n");
    EXPECT_EQ(service.LoadIniInteger("Project", "MinusOne", file, true), -1);
    EXPECT_EQ(service.LoadIniInteger("Project", "AllOnes", file, true), -1);
    EXPECT_TRUE(service.LoadIniString("Project", "Empty", file, true).isEmpty());
    EXPECT_FALSE(service.LoadIniBoolean("Project", "Yes", file, true));
    ASSERT_EQ(dialogs.boxes.size(), 4);
    EXPECT_TRUE(dialogs.boxes[0].prompt.contains("Entry 'MinusOne'"));
    EXPECT_TRUE(dialogs.boxes[1].prompt.contains("Entry 'AllOnes'"));
    EXPECT_TRUE(dialogs.boxes[2].prompt.contains("Entry 'Empty'"));
    EXPECT_TRUE(dialogs.boxes[3].prompt.contains("Entry 'Yes'"));

    // The integer reader asks only for exactly −1: no other number, negative or not, does.
    dialogs.boxes.clear();
    EXPECT_FALSE(service.LoadIniBoolean("Project", "No", file, true));
    EXPECT_EQ(service.LoadIniInteger("Project", "One", file, true), 1);
    EXPECT_EQ(service.LoadIniInteger("Project", "Zero", file, true), 0);
    EXPECT_EQ(service.LoadIniInteger("Project", "MinusTwo", file, true), -2);
    EXPECT_EQ(service.LoadIniString("Project", "Name", file, true), "x");
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(ServiceTest, AFailingMessageBoxDoesNotLeaveTheReader) {
    dialogs.whileOpen = [](const FakeDialogs::Box&) { throw std::runtime_error("no display"); };
    QString file = folder.filePath("Missing.ini");
    EXPECT_EQ(service.LoadIniInteger("Project", "Resolution", file, true), -1);
    EXPECT_TRUE(service.LoadIniString("Project", "Resolution", file, true).isEmpty());
    EXPECT_FALSE(service.LoadIniBoolean("Project", "Resolution", file, true));
    EXPECT_EQ(dialogs.boxes.size(), 3);
}

}  // namespace
}  // namespace kestrix
