#include "app/OperatorSession.h"

#include <utility>

#include "app/KestrixCentral.h"
#include "app/LineHealth.h"
#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "fault/Fault.h"
#include "hmi/VWSVarServer.h"
#include "host/Extender.h"
#include "host/PluginHost.h"

namespace kestrix {

void setTimerEnabled(QTimer& timer, bool enabled) {
    if (!enabled) {
        timer.stop();
    } else if (!timer.isActive()) {
        timer.start();
    }
}

OperatorSession::OperatorSession(Platform& platform, LoadedForms& forms, Service& service,
                                 std::function<void()> returnToStart)
    : platform_(platform),
      forms_(forms),
      service_(service),
      returnToStart_(std::move(returnToStart)),
      Log(platform.clock),
      window_(std::make_unique<KestrixCentral>(platform, forms)) {
    KestrixCentral& w = *window_;
    Host = std::make_unique<PluginHost>(Log, platform_.dialogs, platform_.controls, service_,
                                        Settings.Line, platform_.twips, forms_.procedures());
    Host->attach(w.PictureHaupt(), w.ScrollBar());
    Health = std::make_unique<LineHealth>([this] { return Host->moduleCounts(); });
    LineHealth* health = Health.get();
    connect(Host.get(), &PluginHost::eventShown, health,
            [health](int, const QString& progId) { health->eventShown(progId); });
    connect(Host.get(), &PluginHost::moduleStoppedInSlot, health, &LineHealth::modulesChanged);
    connect(Host.get(), &PluginHost::moduleRestartedInSlot, health, &LineHealth::moduleRestarted);
    Log.onErrorLine = [&w, health](const QString& text) {
        w.showLogButtonRed();
        health->faultLine(text);
    };

    TimerErstemal.setObjectName(QStringLiteral("TimerErstemal"));
    TimerLeben.setObjectName(QStringLiteral("TimerLeben"));
    TimerWebBrowser.setObjectName(QStringLiteral("TimerWebBrowser"));
    TimerErstemal.setInterval(1000);
    TimerLeben.setInterval(1000);
    TimerWebBrowser.setInterval(2000);
    connect(&TimerErstemal, &QTimer::timeout, this, &OperatorSession::TimerErstemal_Timer);
    connect(&TimerLeben, &QTimer::timeout, this, &OperatorSession::TimerLeben_Timer);
    connect(&TimerWebBrowser, &QTimer::timeout, this, &OperatorSession::TimerWebBrowser_Timer);

    connect(&w, &KestrixCentral::activated, this, &OperatorSession::Form_Activate);
    connect(&w, &KestrixCentral::closeRequested, this, &OperatorSession::cmdEnd_Click);
    connect(w.cmdHide(), &QPushButton::clicked, this, &OperatorSession::cmdHide_Click);
    connect(w.cmdEnd(), &QPushButton::clicked, this, &OperatorSession::cmdEnd_Click);
    connect(w.cmdError(), &QPushButton::clicked, this, &OperatorSession::cmdError_Click);
    connect(w.cmdStopped(), &QPushButton::clicked, this, &OperatorSession::cmdStopped_Click);
    connect(Host.get(), &PluginHost::stoppedModulesChanged, this,
            &OperatorSession::StoppedModules_Change);
    connect(w.SpracheGeandert(), &VWSVarServer::Change, this,
            [this](const QVariant& value) { SpracheGeandert_Change(value); });

    forms_.load(window_.get(), this);
}

OperatorSession::~OperatorSession() {
    // The modules go with the window; none of their last events may reach the session.
    Log.onErrorLine = nullptr;
    Health.reset();
    Host.reset();
    window_.reset();
}

// A fault line like every other error line: an automation error of the runtime start control.
void OperatorSession::WriteRuntimeDeath(const QString& why) {
    const Fault death(ErrorNumber::AutomationError,
                      QStringLiteral("the HMI runtime ended without being asked, ") + why,
                      QStringLiteral("VWSStart1"));
    Log.WriteLogLine(faultLine(death, QStringLiteral("KX.VWSStart1_RuntimeEnded")),
                     LogWriter::Line::Error);
}

}  // namespace kestrix
