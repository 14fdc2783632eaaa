#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>

#include "config/ActivationSettings.h"
#include "log/LogWriter.h"
#include "platform/Desktop.h"

namespace kestrix {

class KestrixCentral;
class LineHealth;
class LoadedForms;
class LogView;
class PluginHost;
class Service;
struct Platform;

// The operator window's work and state, with the window as its view: the log and its settings,
// the settings of the last activation, the watched window, the three timers and the plug-in host
// with the modules. Its procedures are the window's, one file per concern: activation
// (FormActivate.cpp), timers (WindowTimers.cpp), commands (OperatorCommands.cpp), language
// (LanguageChange.cpp), end (InternEndProgram.cpp).
//
// Every procedure counts as running while it is on the stack: the session and its window are
// destroyed only when none is (the window list sees to it), and a procedure that finds the end
// begun after a yield stops at its next step.
class OperatorSession : public QObject {
    Q_OBJECT
public:
    // Builds the window and loads it into the program's list of windows. At the end of the
    // window's work, returnToStart hands the program back to the start window.
    OperatorSession(Platform& platform, LoadedForms& forms, Service& service,
                    std::function<void()> returnToStart);
    ~OperatorSession() override;

    KestrixCentral& window() const { return *window_; }

    // The activation handler; runs at every activation of the window.
    void Form_Activate();

    void TimerErstemal_Timer();
    void TimerLeben_Timer();
    void TimerWebBrowser_Timer();

    void cmdEnd_Click();
    void cmdError_Click();
    void cmdHide_Click();
    // The stopped modules' line: shown while modules are stopped, naming the one or counting
    // them; a click shows the next stopped module in the plug-in area.
    void StoppedModules_Change();
    void cmdStopped_Click();

    void SpracheGeandert_Change(const QVariant& value);

    // Ends the window's work, once: timers off, every plug-in terminated and released, back to
    // the start window.
    void InternEndProgram();

    // One fault line in the log: the runtime ended without being asked, and why.
    void WriteRuntimeDeath(const QString& why);

private:
    void writeProgressLine(const char* marker);

    Platform& platform_;
    LoadedForms& forms_;
    Service& service_;
    std::function<void()> returnToStart_;

    // The log; its settings are LogDateiName, LogDateiGroesse, LogSystem and Logdaten.
    LogWriter Log;
    // BaseDirectory, VWStudio and the line: ProgramIniFile, NumberOfMachines, MachineName.
    ActivationSettings Settings;
    QString WatchedWindowTitle;
    WindowHandle WatchedWindow = 0;
    bool ProgramEnding = false;
    // The countdown's tick counter; never reset.
    int16_t StartTicks = 0;
    // The slot of the stopped module the operator was last taken to.
    int16_t ShownStoppedSlot = 0;

    std::unique_ptr<KestrixCentral> window_;
    // The shell's own view of the log, made at the first "Log File" that finds no editor; a
    // window of the operator window's, which it goes with.
    QPointer<LogView> logView_;
    QTimer TimerErstemal{this};
    QTimer TimerLeben{this};
    QTimer TimerWebBrowser{this};
    // The plug-in modules in their slots, their layout, events and termination.
    std::unique_ptr<PluginHost> Host;
    // What the service manager and the plant's monitoring learn of the line.
    std::unique_ptr<LineHealth> Health;
};

// Arms or disarms a window timer the way its Enabled property does: arming an armed timer keeps
// its running interval, arming a stopped one starts a full interval.
void setTimerEnabled(QTimer& timer, bool enabled);

}  // namespace kestrix
