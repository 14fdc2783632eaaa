#pragma once

// A window like the operator window's plug-in area, built by the benchmarks: a frame, PictureHaupt
// inside it, and 20 modules of the real plug-in libraries created by the start procedures and
// laid out; or, for comparison, 20 plain child widgets placed the same way.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

#include "FakeDialogs.h"
#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "host/PluginControlFactory.h"
#include "host/PluginHost.h"
#include "host/RunningProcedures.h"
#include "log/LogWriter.h"
#include "platform/Clock.h"

namespace kestrix::bench {

// Two machines with every kind: 10 units each, 20 modules in all.
inline QByteArray twoFullMachines() {
    QByteArray ini = "[Project]\r\nNumberOfMachines=2\r\n";
    for (int machine = 1; machine <= 2; ++machine) {
        ini += "[Machine" + QByteArray::number(machine) + "]\r\nMachineName=Packer " +
               QByteArray::number(machine) + "\r\n";
        for (const ModuleKind& kind : ModuleKinds) {
            ini += QByteArray(kind.key) + "=3\r\n";
        }
    }
    return ini;
}

// The built plug-ins: $KESTRIX_BUILD_DIR's, or those of the build this program belongs to.
inline QString pluginFolder() {
    QString buildDir = qEnvironmentVariable("KESTRIX_BUILD_DIR");
    return buildDir.isEmpty() ? QStringLiteral(KESTRIX_BENCH_PLUGIN_DIR)
                              : buildDir + QStringLiteral("/Program/Kestrix/plugins");
}

class LineSetup {
public:
    LineSetup() : registry_({pluginFolder()}, ScreenTwips{}) {
        line.ProgramIniFile = folder_.filePath(QStringLiteral("Program.ini"));
        QFile file(line.ProgramIniFile);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(twoFullMachines());
        }
        line.NumberOfMachines = 2;
        line.MachineName = {QStringLiteral("Packer 1"), QStringLiteral("Packer 2")};
    }

    // A window with its 20 modules created and laid out.
    std::unique_ptr<QWidget> pluginWindow() {
        auto window = std::make_unique<QWidget>();
        window->resize(800, 560);
        auto* pictureHaupt = new QWidget(window.get());
        pictureHaupt->setGeometry(3, 3, 749, 2);
        PluginHost host(log_, dialogs_, registry_, service_, line, ScreenTwips{}, procedures_);
        host.attach(pictureHaupt, nullptr);
        host.yieldToEvents = [] {};
        for (const ModuleKind& kind : ModuleKinds) {
            StartModuleKind(kind, QStringLiteral("KX.TimerErstemal_Timer"), line, service_, log_,
                            host);
        }
        host.PositioniereObjekte();
        return window;
    }

    // The same window with 20 plain child widgets placed one below the other.
    static std::unique_ptr<QWidget> plainWindow() {
        auto window = std::make_unique<QWidget>();
        window->resize(800, 560);
        auto* area = new QWidget(window.get());
        area->setGeometry(3, 3, 749, 2);
        int top = 0;
        for (int i = 0; i < 20; ++i) {
            auto* child = new QWidget(area);
            child->setGeometry(0, top, area->width(), 100);
            child->show();
            top += 101;
        }
        area->resize(area->width(), top - 1);
        return window;
    }

    int registeredKinds() const {
        int count = 0;
        for (const ModuleKind& kind : ModuleKinds) {
            count += registry_.isRegistered(QLatin1String(kind.progId)) ? 1 : 0;
        }
        return count;
    }

    LineSettings line;

private:
    QTemporaryDir folder_;
    SystemClock clock_;
    LogWriter log_{clock_};  // no file name: nothing is written
    FakeDialogs dialogs_;
    Service service_{dialogs_};
    PluginControlFactory registry_;
    RunningProcedures procedures_;
};

}  // namespace kestrix::bench
