#pragma once

// What the host's unit tests share: a plug-in host over the in-process test controls, with its
// log in a temporary file, scripted message boxes and Program.ini in the same folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

#include "FakeControlFactory.h"
#include "FakeDialogs.h"
#include "FixedClock.h"
#include "TestApplication.h"
#include "TestFiles.h"
#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "host/PluginHost.h"
#include "host/RunningProcedures.h"
#include "log/LogWriter.h"

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
                                            ScreenTwips{15.0f, 15.0f}, procedures,
                                            [this] { onYield(); });
        host->attach(&pictureHaupt, nullptr);
    }

    void writeProgramIni(const QByteArray& content) { writeFile(line.ProgramIniFile, content); }

    // The log's lines as "<flags> <text>", and its fault lines without their flag.
    QStringList logLines() const { return logTexts(log.LogDateiName); }
    QStringList faultLines() const { return logFaults(log.LogDateiName); }

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
    RunningProcedures procedures;
    LineSettings line;
    QWidget pictureHaupt;
    std::unique_ptr<PluginHost> host;
    // What the host's yield does: it counts, unless a test makes it do more.
    int yields = 0;
    std::function<void()> onYield = [this] { ++yields; };
};

}  // namespace kestrix
