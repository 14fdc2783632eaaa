#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "host/LineSettings.h"
#include "log/LogWriter.h"
#include "platform/Desktop.h"

namespace kestrix {

class Extender;
class KestrixStart;
class PluginHost;
class LoadedForms;
class Service;
class VWSLangSelect;
class VWSVarServer;
struct Platform;

// The operator window: the plug-in area with its scroll bar, the status label, the three command
// buttons, the three timers and the two invisible HMI controls. At every activation it reads its
// settings, brings the watched window forward and arms its timers.
class KestrixCentral : public QWidget {
    Q_OBJECT
public:
    KestrixCentral(Platform& platform, LoadedForms& forms, Service& service, KestrixStart& start);
    ~KestrixCentral() override;

    // The window's log; its settings are the public members LogDateiName, LogDateiGroesse,
    // LogSystem and Logdaten.
    LogWriter Log;

    // State set at activation.
    QString BaseDirectory;
    // ProgramIniFile, NumberOfMachines and MachineName: what the plug-in host reads of the line.
    LineSettings Line;
    bool VWStudio = false;
    QString WatchedWindowTitle;
    WindowHandle WatchedWindow = 0;
    bool ProgramEnding = false;

    // Controls.
    QWidget* PictureRahmen = nullptr;
    QWidget* PictureHaupt = nullptr;
    QLabel* StatusLabel = nullptr;
    QPointer<Extender> ScrollBar;
    QPushButton* cmdHide = nullptr;
    QPushButton* cmdEnd = nullptr;
    QPushButton* cmdError = nullptr;
    QTimer TimerErstemal;
    QTimer TimerLeben;
    QTimer TimerWebBrowser;
    VWSLangSelect* VWLanguage = nullptr;
    VWSVarServer* SpracheGeandert = nullptr;

    // The plug-in modules in their slots, their layout, events and termination.
    std::unique_ptr<PluginHost> Host;
    // The countdown's tick counter; never reset.
    int16_t StartTicks = 0;

    // The activation handler; runs at every activation of the window.
    void Form_Activate();

    void TimerErstemal_Timer();
    void TimerLeben_Timer();
    void TimerWebBrowser_Timer();

    void cmdEnd_Click();
    void cmdError_Click();
    void cmdHide_Click();

    void SpracheGeandert_Change(const QVariant& value);

    // Ends the window's work: timers off, every plug-in terminated and released, back to the
    // start window.
    void InternEndProgram();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildDesign();
    void placeInTwips(QWidget* control, double left, double top, double width, double height);
    void writeProgressLine(const char* marker);
    void showLogButtonRed();

    Platform& platform_;
    LoadedForms& forms_;
    Service& service_;
    KestrixStart& start_;
    void runActivation();
    void reportFirstPaint();

    // How long the first showing waits for the window manager's activation before it activates
    // the window itself.
    static constexpr int FirstActivationFallbackMs = 1000;
    QTimer firstActivationDue_;
    bool firstActivationDone_ = false;
    bool firstPaintReported_ = false;
};

// Arms or disarms a window timer the way its Enabled property does: arming an armed timer keeps
// its running interval, arming a stopped one starts a full interval.
void setTimerEnabled(QTimer& timer, bool enabled);

}  // namespace kestrix
