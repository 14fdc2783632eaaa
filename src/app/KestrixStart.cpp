#include "app/KestrixStart.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/KestrixCentral.h"
#include "app/LoadedForms.h"
#include "app/Modul.h"
#include "app/OperatorSession.h"
#include "app/Platform.h"
#include "app/StartPlacement.h"
#include "config/InstallationRoot.h"
#include "config/Service.h"
#include "fault/Fault.h"
#include "hmi/HmiRuntime.h"
#include "hmi/VWSStart.h"
#include "host/LateBinding.h"
#include "journal/LineRecords.h"
#include "journal/Notices.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "supervision/ServiceNotify.h"

namespace kestrix {

KestrixStart::KestrixStart(Platform& platform, LoadedForms& forms, Service& service)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      platform_(platform),
      forms_(forms),
      service_(service) {
    setObjectName(QStringLiteral("KestrixStart"));
    setWindowTitle(QString());
    setFixedSize(platform_.twips.toPixelsX(DesignWidthTwips),
                 platform_.twips.toPixelsY(DesignHeightTwips));

    VWSStart1 = new VWSStart(platform_.runtime, this);
    VWSStart1->setObjectName(QStringLiteral("VWSStart1"));
    VWSStart1->setGeometry(rect());
    connect(VWSStart1, &VWSStart::StartResult, this, &KestrixStart::VWSStart1_StartResult);
    connect(VWSStart1, &VWSStart::RuntimeEnded, this, &KestrixStart::VWSStart1_RuntimeEnded);

    forms_.load(this);
}

KestrixStart::~KestrixStart() = default;

namespace {

// The program's exit status when its runtime failed to start, and when it died: a supervisor
// tells either from the orderly end (0).
constexpr int StartFailedStatus = 1;
constexpr int RuntimeDiedStatus = 3;

}  // namespace

OperatorSession* KestrixStart::operatorSession() const {
    return session_.data();
}

void KestrixStart::RequestRuntimeStop() {
    LateBinding::callId(VWSStart1, VWSStart::StopRequestDispId);
}

void KestrixStart::RaiseRunningWindow() {
    QWidget* window = session_ ? static_cast<QWidget*>(&session_->window()) : this;
    if (!window->isVisible()) {
        return;  // the end has begun: nothing is left to show
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}

void KestrixStart::Form_Load() {
    // Without a usable root or with an assumed screen too large for 16 bits the window is placed
    // centred on the real screen. There is no log yet, so standard error says why.
    std::optional<StartPlacement> placement;
    QString whyCentred;
    try {
        const QString programIni = programIniOf(installationRootOf(platform_.programDirectory));
        const bool withLineDisplay = service_.LoadIniBoolean(
            QStringLiteral("Project"), QStringLiteral("WithLineDisplay"), programIni, false);
        const int resolution = service_.LoadIniInteger(
            QStringLiteral("Project"), QStringLiteral("Resolution"), programIni, false);
        placement = placeStartWindow(
            withLineDisplay, resolution, platform_.twips.x, platform_.twips.y,
            StartWindowSize{platform_.twips.x * width(), platform_.twips.y * height()});
        if (!placement) {
            whyCentred = QStringLiteral("Resolution %1 in %2 makes a screen area beyond 16 bits")
                             .arg(resolution)
                             .arg(programIni);
        }
    } catch (const Fault& fault) {
        whyCentred = QStringLiteral(
                         "the program folder %1 lies too close to the root for an "
                         "installation root with Parameter/Program.ini (%2)")
                         .arg(platform_.programDirectory, fault.description());
    }
    if (placement) {
        move(qRound(placement->left / platform_.twips.x),
             qRound(placement->top / platform_.twips.y));
        return;
    }
    notice(QStringLiteral("kestrix: the start window is centred on the screen: ") + whyCentred);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void KestrixStart::VWSStart1_StartResult(bool started) {
    RunningProcedures::Running running(forms_.procedures());
    if (started) {
        if (endRequested_) {
            return;  // the runtime has its stop request; its end ends the program
        }
        if (!session_) {
            session_ = new OperatorSession(platform_, forms_, service_,
                                           [this] { Modul::ReturnToStart(*this, forms_); });
        }
        KestrixCentral& central = session_->window();
        platform_.desktop.AllowMinimise(&central);
        central.show();
        central.activateWindow();
        central.setFocus();
        hide();
        notifyReady();
        return;
    }
    // TERM or HUP while the box is open ends the program as its OK does (EndOnSignal).
    startFailed_ = true;
    platform_.dialogs.MsgBox(QStringLiteral("Initialisierung fehlgeschlagen!"),
                             MsgBoxStyle::OkOnly | MsgBoxStyle::Critical);
    endAfterFailedStart();
}

// No window is left: the program ends, reporting the failed start in its exit status.
void KestrixStart::endAfterFailedStart() {
    if (ended_) {
        return;
    }
    ended_ = true;
    forms_.unload(this);
    journalLineEnded(StartFailedStatus, QStringLiteral("the HMI runtime did not start"));
    platform_.endProgram(StartFailedStatus);
}

// Ends at once either way; a runtime that died rather than ending in order is told of on
// standard error and in the operator window's log (when the window exists; before it, there is
// no log), and ends the program with a status of its own.
void KestrixStart::VWSStart1_RuntimeEnded() {
    RunningProcedures::Running running(forms_.procedures());
    const QString death = platform_.runtime.deathCause();
    if (!death.isEmpty()) {
        notice(QStringLiteral("kestrix: the HMI runtime ended without being asked (%1); the "
                              "program ends")
                   .arg(death));
        if (session_) {
            session_->WriteRuntimeDeath(death);
        }
    }
    forms_.unload(this);
    const int status = death.isEmpty() ? 0 : RuntimeDiedStatus;
    journalLineEnded(status, death.isEmpty() ? QStringLiteral("the HMI runtime ended")
                                             : QStringLiteral("the HMI runtime died: ") + death);
    platform_.endProgram(status);
}

// The end a vanished watched window brings, so that the runtime gets its stop request and the log
// records the end. Before the operator window is there, the runtime is asked to stop and the
// window will not open; after its end the runtime is asked again. While "Initialisierung
// fehlgeschlagen!" is shown, the program ends as the box's OK ends it.
void KestrixStart::EndOnSignal() {
    RunningProcedures::Running running(forms_.procedures());
    journalLineEnding(QStringLiteral("a TERM or HUP signal"));
    if (startFailed_) {
        endAfterFailedStart();
        return;
    }
    if (session_) {
        session_->InternEndProgram();
        return;
    }
    endRequested_ = true;
    RequestRuntimeStop();
}

}  // namespace kestrix
