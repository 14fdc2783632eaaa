#pragma once

#include <QApplication>
#include <QList>
#include <QStringList>
#include <memory>

#include "FakeProcessRunner.h"
#include "TempRoot.h"
#include "app/KestrixCentral.h"
#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "config/Service.h"
#include "hmi/FakeHmiRuntime.h"
#include "host/PluginControlFactory.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FixedClock.h"

namespace kestrix {

// The program's windows on fake seams: message boxes, desktop, runtime, clock and processes are
// fakes, the controls come from the real plug-in folder of the build. The installation root is
// a temporary folder the test fills.
class AppHarness {
public:
    AppHarness()
        : controls(QStringList{QString::fromLocal8Bit(qgetenv("KESTRIX_BUILD_DIR")) +
                               QStringLiteral("/Program/Kestrix/plugins")},
                   ScreenTwips{15.0f, 15.0f}),
          platform{dialogs,
                   desktop,
                   controls,
                   runtime,
                   clock,
                   processes,
                   ScreenTwips{15.0f, 15.0f},
                   root.programDirectory(),
                   [this](int exitCode) { exitCodes.append(exitCode); }},
          service(dialogs) {}

    ~AppHarness() {
        for (QWidget* form : forms.forms()) {
            delete form;
        }
    }

    // Loads the start window (its load handler runs) and reports a successful runtime start.
    KestrixCentral& startOperatorWindow() {
        start = new KestrixStart(platform, forms, service);
        start->Form_Load();
        start->show();
        runtime.finishStart(true);
        return *start->central();
    }

    // Lets queued events run (the first activation is queued behind the window's showing).
    static void processEvents() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    FakeDialogs dialogs;
    FakeDesktop desktop;
    FakeHmiRuntime runtime;
    FixedClock clock{LocalDateTime{2026, 3, 27, 9, 41, 5}};
    FakeProcessRunner processes;
    TempRoot root;
    PluginControlFactory controls;
    Platform platform;
    Service service;
    LoadedForms forms;
    KestrixStart* start = nullptr;
    QList<int> exitCodes;
};

}  // namespace kestrix
