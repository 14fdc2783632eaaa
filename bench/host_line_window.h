#pragma once

// Windows like the operator window's plug-in area, built by the benchmarks: 20 modules of the
// real plug-in libraries created by the start procedures and laid out; for comparison, 20 plain
// child widgets placed the same way, or the same modules in a plain QScrollArea.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QPalette>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <memory>

#include "FakeDialogs.h"
#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "host/Extender.h"
#include "host/ModuleCalls.h"
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

// A window with its modules, and the scroll bar that moves them when there is one. The host lives
// as long as the window, so that the modules' and the scroll bar's events reach it.
struct LineWindow {
    std::unique_ptr<QWidget> window;
    QWidget* pictureHaupt = nullptr;
    QScrollBar* scrollBar = nullptr;
    std::unique_ptr<PluginHost> host;
};

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
        pictureHaupt->setGeometry(3, 3, pictureHauptWidth(), 2);
        auto host = newHost();
        host->attach(pictureHaupt, nullptr);
        createAndLayOut(*host);
        return window;
    }

    // The same window with 20 plain child widgets placed one below the other.
    static std::unique_ptr<QWidget> plainWindow() {
        auto window = std::make_unique<QWidget>();
        window->resize(800, 560);
        auto* area = new QWidget(window.get());
        area->setGeometry(3, 3, pictureHauptWidth(), 2);
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

    // The operator window's plug-in area at 15 twips per pixel: PictureHaupt with its 20 modules
    // in the frame PictureRahmen, and the scroll-bar control beside the frame.
    LineWindow scrolledByTheScrollBarControl() {
        LineWindow line = operatorSizedWindow();
        auto* pictureRahmen = new QWidget(line.window.get());
        pictureRahmen->setGeometry(3, 3, 753, 526);
        fillBackground(pictureRahmen, QColor(192, 192, 192));
        line.pictureHaupt = newPictureHaupt(pictureRahmen);
        Extender* scrollBar = registry_.Add(QStringLiteral("HolvigScrollBar.ScrollBar"),
                                            QStringLiteral("ScrollBar"), line.window.get());
        scrollBar->setLeft(11385);
        scrollBar->setTop(45);
        scrollBar->setWidth(570);
        scrollBar->setHeight(7890);
        scrollBar->setVisible(true);
        line.scrollBar = scrollBar->control()->findChild<QScrollBar*>();
        line.host = newHost();
        line.host->attach(line.pictureHaupt, scrollBar);
        createAndLayOut(*line.host);
        return line;
    }

    // The same modules, laid out the same, in a plain QScrollArea that scrolls them itself.
    LineWindow scrolledByAScrollArea() {
        LineWindow line = operatorSizedWindow();
        auto* area = new QScrollArea(line.window.get());
        area->setGeometry(3, 3, 794, 526);
        area->setFrameShape(QFrame::NoFrame);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        line.pictureHaupt = newPictureHaupt(nullptr);
        line.host = newHost();
        line.host->attach(line.pictureHaupt, nullptr);
        createAndLayOut(*line.host);
        area->setWidget(line.pictureHaupt);
        line.scrollBar = area->verticalScrollBar();
        return line;
    }

    // The operator window's plug-in area, PictureHaupt, still without modules.
    static LineWindow emptyPluginArea() {
        LineWindow line = operatorSizedWindow();
        line.pictureHaupt = newPictureHaupt(line.window.get());
        return line;
    }

    // A host for the window's plug-in area that gets its modules from the factory (which gets
    // ready for them as the host attaches); the 20 modules created and laid out.
    void addModules(LineWindow& line, ControlFactory& controls) {
        attachHost(line, controls);
        startModules(line, controls);
    }

    // The two halves of that, as the operator window has them: the host attaches as the window
    // gets ready, and the modules start when the countdown ends.
    void attachHost(LineWindow& line, ControlFactory& controls) {
        line.host = newHost(controls);
        line.host->attach(line.pictureHaupt, nullptr);
    }
    void startModules(LineWindow& line, ControlFactory& controls) {
        createAndLayOut(*line.host);
        controls.modulesStarted();
    }

    // The registry of the build's plug-ins, for a factory that creates the modules elsewhere.
    PluginControlFactory& registry() { return registry_; }

    // Whether the plug-in folder serves every module kind; if not it says so on standard error.
    bool findsEveryKind() const {
        for (const ModuleKind& kind : ModuleKinds) {
            if (!registry_.isRegistered(QLatin1String(kind.progId))) {
                std::fprintf(stderr, "the module plug-ins are not all in %s\n",
                             qPrintable(pluginFolder()));
                return false;
            }
        }
        return true;
    }

    LineSettings line;

private:
    std::unique_ptr<PluginHost> newHost() { return newHost(registry_); }
    // A host whose yield lets window events run, except while its modules are being created.
    std::unique_ptr<PluginHost> newHost(ControlFactory& controls) {
        return std::make_unique<PluginHost>(log_, dialogs_, controls, service_, line, ScreenTwips{},
                                            procedures_, [this] {
                                                if (!creating_) {
                                                    QCoreApplication::processEvents();
                                                }
                                            });
    }

    // The start procedures of the countdown's last tick, then the layout pass.
    void createAndLayOut(PluginHost& host) {
        creating_ = true;
        for (const ModuleKind& kind : ModuleKinds) {
            StartModuleKind(kind, QStringLiteral("KX.TimerErstemal_Timer"), line, service_, log_,
                            host);
        }
        host.PositioniereObjekte();
        creating_ = false;
    }

    static LineWindow operatorSizedWindow() {
        LineWindow line;
        line.window = std::make_unique<QWidget>();
        line.window->resize(800, 600);
        return line;
    }

    // PictureHaupt as the operator window has it before the layout: its width in pixels, in its
    // back colour.
    static QWidget* newPictureHaupt(QWidget* frame) {
        auto* pictureHaupt = new QWidget(frame);
        pictureHaupt->setGeometry(0, 0, pictureHauptWidth(), 2);
        fillBackground(pictureHaupt, QColor(220, 220, 220));
        return pictureHaupt;
    }

    static int pictureHauptWidth() {
        return ScreenTwips{}.toPixelsX(ModuleCalls::PictureHauptWidthTwips);
    }

    static void fillBackground(QWidget* widget, const QColor& colour) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }

    QTemporaryDir folder_;
    SystemClock clock_;
    LogWriter log_{clock_};  // no file name: nothing is written
    FakeDialogs dialogs_;
    Service service_{dialogs_};
    PluginControlFactory registry_;
    RunningProcedures procedures_;
    bool creating_ = false;  // the hosts' yields let no events run meanwhile
};

}  // namespace kestrix::bench
