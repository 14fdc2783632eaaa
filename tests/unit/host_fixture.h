#pragma once

// What the host's unit tests share: a plug-in host over the in-process test controls, with its
// log in a temporary file, scripted message boxes and Program.ini in the same folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

#include "FakeControlFactory.h"
#include "TestApplication.h"
#include "config/Service.h"
#include "host/LineSettings.h"
#include "host/PluginHost.h"
#include "log/LogWriter.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FixedClock.h"

namespace kestrix {

class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        log.LogDateiName = folder.filePath("Kestrix.log");
        log.LogDateiGroesse = 2000;
        log.Logdaten = true;
        line.ProgramIniFile = folder.filePath("Program.ini");
        line.NumberOfMachines = 2;
        line.MachineName = {"Packer 1", "Packer 2", "Packer 3", "Packer 4", "Packer 5"};
        pictureHaupt.resize(749, 2);
        host = std::make_unique<PluginHost>(log, dialogs, controls, service, line,
                                            ScreenTwips{15.0f, 15.0f});
        host->attach(&pictureHaupt, nullptr);
        host->yieldToEvents = [this] { ++yields; };
    }

    void writeProgramIni(const QByteArray& content) {
        QFile file(line.ProgramIniFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    // The log's lines as "<flags> <text>", without the time stamp.
    QStringList logLines() const {
        QFile file(log.LogDateiName);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        static const QRegularExpression stamp(
            QStringLiteral("^([A-Z ]+?) ?\\d\\d:\\d\\d:\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d (.*)$"));
        QStringList lines;
        const QStringList raw =
            QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (const QString& text : raw) {
            QRegularExpressionMatch match = stamp.match(text);
            lines << (match.hasMatch() ? match.captured(1).trimmed() + ' ' + match.captured(2)
                                       : text);
        }
        return lines;
    }

    // The fault lines of the log, without their flags.
    QStringList faultLines() const {
        QStringList faults;
        for (const QString& entry : logLines()) {
            if (entry.startsWith(QLatin1String("E "))) {
                faults << entry.mid(2);
            }
        }
        return faults;
    }

    // Requests one module of this ProgID for unit 1 of machine 1.
    void request(const QString& progId) {
        host->NeuesObjekt(progId, 1, 1, QStringLiteral("Packer 1"));
    }

    QTemporaryDir folder;
    FixedClock clock{LocalDateTime{2024, 5, 6, 7, 8, 9}};
    LogWriter log{clock};
    FakeDialogs dialogs;
    Service service{dialogs};
    FakeControlFactory controls;
    LineSettings line;
    QWidget pictureHaupt;
    std::unique_ptr<PluginHost> host;
    int yields = 0;
};

}  // namespace kestrix
