#pragma once

#include <QPointer>
#include <QWidget>

namespace kestrix {

class LoadedForms;
class OperatorSession;
class Service;
class VWSStart;
struct Platform;

// The start window: the program's first window. It places itself by "WithLineDisplay" and
// "Resolution" of Program.ini, and its runtime start control starts the HMI runtime behind the
// splash picture. On a successful start it opens the operator window and hides itself; the
// runtime ended event ends the program (with status 0 when the runtime ended in order, 3 when it
// died; 1 after a failed start).
class KestrixStart : public QWidget {
    Q_OBJECT
public:
    // Design: client area 7800 × 4740 twips, no caption.
    static constexpr double DesignWidthTwips = 7800;
    static constexpr double DesignHeightTwips = 4740;

    KestrixStart(Platform& platform, LoadedForms& forms, Service& service);
    ~KestrixStart() override;

    void Form_Load();

    // The runtime start control on the window.
    VWSStart* VWSStart1 = nullptr;
    // The operator window's session, while it is loaded.
    OperatorSession* operatorSession() const;

    // The stop request to the runtime: the start control's method with dispatch id 142.
    void RequestRuntimeStop();

    // Brings the program's window to the operator, restored and active: the operator window once
    // it is open, before that this window. A second start of the program asks for it.
    void RaiseRunningWindow();

public Q_SLOTS:
    void VWSStart1_StartResult(bool started);
    void VWSStart1_RuntimeEnded();
    // TERM or HUP from outside (a logout, a service stop): the orderly end.
    void EndOnSignal();

private:
    void endAfterFailedStart();

    Platform& platform_;
    LoadedForms& forms_;
    Service& service_;
    QPointer<OperatorSession> session_;
    bool endRequested_ = false;
    bool startFailed_ = false;
    bool ended_ = false;
};

}  // namespace kestrix
