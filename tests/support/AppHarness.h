#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

#include "FakeControlFactory.h"
#include "FakeDesktop.h"
#include "FakeDialogs.h"
#include "FakeHmiRuntime.h"
#include "FakeProcessRunner.h"
#include "FixedClock.h"
#include "TempRoot.h"
#include "TestApplication.h"
#include "app/KestrixApplication.h"
#include "app/KestrixCentral.h"
#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "app/OperatorSession.h"
#include "app/Platform.h"
#include "config/Service.h"
#include "host/PluginControlFactory.h"

namespace kestrix {

// The program's windows on fake seams: message boxes, desktop, runtime, clock and processes are
// fakes. The scroll bar comes from the build's plug-in folder; the modules are the test controls,
// which record every call and raise events on demand. The installation root is a temporary folder
// the test fills.
class AppHarness {
public:
    AppHarness()
        : plugins(QStringList{QString::fromLocal8Bit(qgetenv("KESTRIX_BUILD_DIR")) +
                              QStringLiteral("/Program/Kestrix/plugins")},
                  ScreenTwips{15.0f, 15.0f}),
          controls(plugins, testControls),
          platform{dialogs,
                   desktop,
                   controls,
                   runtime,
                   clock,
                   processes,
                   ScreenTwips{15.0f, 15.0f},
                   root.programDirectory(),
                   [this](int exitCode) { exitCodes.append(exitCode); }},
          service(dialogs) {
        ensureApplication<KestrixApplication>();
    }

    // Loads the start window (its load handler runs) and reports a successful runtime start.
    OperatorSession& startOperatorWindow() {
        start = new KestrixStart(platform, forms, service);
        start->Form_Load();
        start->show();
        runtime.finishStart(true);
        return *start->operatorSession();
    }

    // Starts the program up to the operator window's first activation.
    OperatorSession& activated() {
        OperatorSession& session = startOperatorWindow();
        processEvents();
        return session;
    }

    // Lets queued events run (the first activation is queued behind the window's showing).
    static void processEvents() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    // What the tests see of the operator window: the window, whether one of its timers is armed,
    // whether it is still there (its session is destroyed once no procedure of it runs).
    OperatorSession* session() const {
        return start != nullptr ? start->operatorSession() : nullptr;
    }
    KestrixCentral& window() const { return session()->window(); }
    bool armed(const char* timer) const {
        auto* found = session()->findChild<QTimer*>(QLatin1String(timer));
        return found != nullptr && found->isActive();
    }
    QStringList log() const { return logTexts(root.defaultLog()); }

    FakeDialogs dialogs;
    FakeDesktop desktop;
    FakeHmiRuntime runtime;
    FixedClock clock{LocalDateTime{2026, 3, 27, 9, 41, 5}};
    FakeProcessRunner processes;
    TempRoot root;
    PluginControlFactory plugins;
    FakeControlFactory testControls;

private:
    // The scroll bar from the plug-ins, the modules from the test controls.
    class LineControls final : public ControlFactory {
    public:
        LineControls(ControlFactory& plugins, ControlFactory& testControls)
            : plugins_(plugins), testControls_(testControls) {}
        Extender* Add(const QString& progId, const QString& name, QWidget* container) override {
            return of(progId).Add(progId, name, container);
        }
        bool isRegistered(const QString& progId) const override {
            return of(progId).isRegistered(progId);
        }

    private:
        ControlFactory& of(const QString& progId) const {
            return progId == QLatin1String("HolvigScrollBar.ScrollBar") ? plugins_ : testControls_;
        }
        ControlFactory& plugins_;
        ControlFactory& testControls_;
    };

public:
    LineControls controls;
    Platform platform;
    Service service;
    LoadedForms forms;
    KestrixStart* start = nullptr;
    // Every end of the program, in order; the process ends at the first.
    QList<int> exitCodes;
};

// Runs the work at the next pass of the event loop, whichever procedure lets it run.
inline void atNextYield(std::function<void()> work) {
    QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
}

// Sees the events of one type on their way to an object (or, watching the application, to every
// object): calls back with the receiver, and swallows the event when the callback returns true.
// Watching ends with the hook.
class EventHook : public QObject {
public:
    using Callback = std::function<bool(QObject* receiver)>;

    EventHook(QObject* watched, QEvent::Type type, Callback callback)
        : watched_(watched), type_(type), callback_(std::move(callback)) {
        watched_->installEventFilter(this);
    }
    ~EventHook() override {
        if (watched_) {
            watched_->removeEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        return event->type() == type_ && callback_(receiver);
    }

private:
    QPointer<QObject> watched_;
    QEvent::Type type_;
    Callback callback_;
};

// What the operator window's tests share: the application and a harness.
class AppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication<KestrixApplication>(); }

    AppHarness app;
};

}  // namespace kestrix
