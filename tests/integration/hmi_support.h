#pragma once

// Shared by the HMI tests: a QApplication for the whole run, waiting on the event loop, the
// class info lookup by which the windows reach a control's dispatch ids, and the runtime tests'
// client that records what it reports and their fixture around the real kestrix-hmi.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QMetaClassInfo>
#include <QMetaObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <memory>

#include "hmi/HmiClient.h"

namespace kestrix::hmitest {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { application_ = new QApplication(argc_, argv_); }
    void TearDown() override { delete application_; }

private:
    int argc_ = 1;
    char name_[16] = "hmi_test";
    char* argv_[2] = {name_, nullptr};
    QApplication* application_ = nullptr;
};

inline ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// Runs the event loop until the condition holds; false when it still does not after the (very
// generous) limit. The limit only ends a hung test, it measures nothing.
template <class Condition>
bool runEventsUntil(Condition condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The member that a "DispId N" class info (N decimal or 0x-hex) names; empty when none does.
inline QString memberOfDispId(const QMetaObject& metaObject, int dispId) {
    for (int i = 0; i < metaObject.classInfoCount(); ++i) {
        QString key = QString::fromLatin1(metaObject.classInfo(i).name());
        if (!key.startsWith(QLatin1String("DispId "))) {
            continue;
        }
        bool isNumber = false;
        int id = key.mid(7).toInt(&isNumber, 0);
        if (isNumber && id == dispId) {
            return QString::fromLatin1(metaObject.classInfo(i).value());
        }
    }
    return {};
}

// The HMI client's language, the variable the runtime holds from its start.
inline const QString LanguageVariable = QStringLiteral("Ch-1.param_client<.sprache>");

// One client with everything it reported.
struct RecordingClient {
    explicit RecordingClient(
        std::chrono::milliseconds startTimeout = HmiClient::DefaultStartTimeout)
        : client(std::make_unique<HmiClient>(nullptr, startTimeout)) {
        QObject::connect(client.get(), &HmiRuntime::startResult,
                         [this](bool started) { startResults.append(started); });
        QObject::connect(client.get(), &HmiRuntime::runtimeEnded, [this] { ++endedCount; });
        QObject::connect(client.get(), &HmiRuntime::variableChanged,
                         [this](const QString& variable, const QVariant& value) {
                             changes.append({variable, value});
                         });
    }

    bool awaitStartResult() {
        return runEventsUntil([this] { return !startResults.isEmpty(); });
    }
    bool awaitEnded() {
        return runEventsUntil([this] { return endedCount > 0; });
    }

    std::unique_ptr<HmiClient> client;
    QList<bool> startResults;
    int endedCount = 0;
    QList<std::pair<QString, QVariant>> changes;
};

// The real runtime (KESTRIX_HMI_PROGRAM) with a socket and journal of the test's own in a private
// temporary folder, so that runs never meet.
class RuntimeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        socketName = folder.filePath(QStringLiteral("hmi.socket"));
        journalPath = folder.filePath(QStringLiteral("hmi.journal"));
        qputenv("KESTRIX_HMI_SOCKET", socketName.toLocal8Bit());
        qputenv("KESTRIX_HMI_JOURNAL", journalPath.toLocal8Bit());
        useRuntimeOptions({});
    }

    void TearDown() override {
        qunsetenv("KESTRIX_HMI_COMMAND");
        qunsetenv("KESTRIX_HMI_SOCKET");
        qunsetenv("KESTRIX_HMI_JOURNAL");
    }

    static QString runtimeProgram() { return QStringLiteral(KESTRIX_HMI_PROGRAM); }

    // The command the client launches: the real runtime with these test options.
    static void useRuntimeOptions(const QString& options) {
        QString command = QStringLiteral("\"%1\" %2").arg(runtimeProgram(), options);
        qputenv("KESTRIX_HMI_COMMAND", command.toLocal8Bit());
    }

    // Runs `kestrix-hmi ARGUMENTS` as another process would, on this test's socket.
    struct Outcome {
        int exitCode;
        QString errorOutput;
    };
    static Outcome runRuntimeCommand(const QStringList& arguments) {
        QProcess process;
        process.start(runtimeProgram(), arguments);
        process.waitForFinished(30000);
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
    }

    // An executable script of this content in the test's folder; its path.
    QString writeScript(const QString& name, const QString& content) const {
        const QString path = folder.filePath(name);
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(content.toLocal8Bit());
        script.close();
        EXPECT_TRUE(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        return path;
    }

    QStringList journal() const {
        QFile file(journalPath);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    bool awaitJournalLine(const QString& line) const {
        return runEventsUntil([&] { return journal().contains(line); });
    }

    QTemporaryDir folder;
    QString socketName;
    QString journalPath;
};

}  // namespace kestrix::hmitest
