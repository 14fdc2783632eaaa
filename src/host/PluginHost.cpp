#include "host/PluginHost.h"

#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "fault/Fault.h"
#include "fault/Int16.h"
#include "fault/Subscript.h"
#include "host/ControlFactory.h"
#include "host/Extender.h"
#include "host/RunningProcedures.h"
#include "journal/LineRecords.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {

PluginHost::PluginHost(LogWriter& log, Dialogs& dialogs, ControlFactory& controls,
                       const Service& service, const LineSettings& line, ScreenTwips twips,
                       RunningProcedures& procedures, std::function<void()> yieldToEvents)
    : log_(log),
      dialogs_(dialogs),
      controls_(controls),
      service_(service),
      line_(line),
      twips_(twips),
      procedures_(procedures),
      yieldToEvents_(std::move(yieldToEvents)),
      sinks_([this](int16_t slot, const EventInfo& info) {
          RunningProcedures::Running running(procedures_);
          OCXEreignis(slot, info);
      }),
      calls_(controls, sinks_, twips) {
    liveHosts().push_back(this);
}

PluginHost::~PluginHost() {
    std::erase(liveHosts(), this);
}

void PluginHost::processWindowEvents() {
    QCoreApplication::processEvents();
}

void PluginHost::attach(QWidget* pictureHaupt, Extender* scrollBar) {
    pictureHaupt_ = pictureHaupt;
    scrollBar_ = scrollBar;
    controls_.prepareModules();
    disconnect(scrollBarEvents_);
    scrollBarEvents_ = {};
    if (scrollBar != nullptr) {
        scrollBarEvents_ =
            connect(scrollBar, &Extender::ObjectEvent, this, [this](const EventInfo& info) {
                RunningProcedures::Running running(procedures_);
                scrollBarEvent(info);
            });
    }
}

Extender* PluginHost::ObjWithEvent(int n) const {
    if (n < 1 || n > EventSinks::Count) {
        return nullptr;
    }
    return sinks_.held(n);
}

// Slot numbers only grow: a request beyond slot 20 still takes its number and faults on every
// step that addresses its slot, while the 20 slots stay as they are. A module created after the
// others were terminated would never be terminated, so once the end has begun none is created;
// the creation (of a module in a process of its own) or Init may let the end begin, and then the
// calls after it are not made; the end marker is written all the same.
void PluginHost::NeuesObjekt(const QString& progId, int16_t unit, int16_t machine,
                             const QString& machineName) {
    if (terminated_) {
        return;
    }
    FaultScope p(log_, ModuleCalls::CreateSource);
    p.step([&] {
        log_.WriteLogLine(p.sourceString() + QStringLiteral(" An "), LogWriter::Line::Data);
    });
    p.step([&] { slotCount_ = add16(slotCount_, 1); });
    const int16_t n = slotCount_;
    p.step([&] { slotAt(n).ProgID = progId; });
    p.step([&] {
        PluginSlot& requested = slotAt(n);
        requested.Machine = machine;
        requested.Unit = unit;  // kept for a restart
        requested.MachineName = machineName;
    });
    if (p.test([&] { return n >= 1 && n <= ModuleCalls::SlotCount; })) {
        // The sink holds the control before Init, so events raised while it starts are shown.
        creatingSlot_ = n;
        p.stepOr([&] { calls_.create(n, progId, &pictureHaupt()); },
                 [&](const Fault& fault) {
                     log_.WriteLogLine(faultLine(fault, ModuleCalls::createFaultSource(progId, n)),
                                       LogWriter::Line::Error);
                     slotAt(n).CreateFailed = 1;
                 });
        creatingSlot_ = 0;
        // The end began while the module's process created it: the module is let go
        // uninitialised, and slot and sink stay empty as the end left them.
        if (terminated_) {
            p.step([&] { sinks_.empty(n); });
        } else if (p.test([&] { return slotAt(n).CreateFailed != 1; })) {
            p.step([&] {
                slotAt(n).Control = sinks_.held(n);
                watchStop(n);
            });
        }
    }
    if (p.test([&] { return slotAt(n).CreateFailed != 1; }) && !terminated_) {
        p.step([&] { ModuleCalls::init(controlOf(n), unit, machine, machineName); });
        if (!terminated_) {
            p.step([&] { ModuleCalls::refresh(controlOf(n)); });
        }
    }
    p.step([&] {
        log_.WriteLogLine(p.sourceString() + QStringLiteral(" En "), LogWriter::Line::Data);
    });
}

void PluginHost::watchStop(int16_t n) {
    Extender* module = slotAt(n).Control;
    if (module == nullptr) {
        return;
    }
    connect(module, &Extender::stopped, this,
            [this, n](const Fault& fault) { ModuleStopped(n, fault); });
    connect(module, &Extender::restartRequested, this, [this, n] {
        RunningProcedures::Running running(procedures_);
        RestartModule(n);
    });
}

PluginHost::ModuleCounts PluginHost::moduleCounts() const {
    ModuleCounts counts;
    counts.configured = slotCount_;
    for (const PluginSlot& slot : slots_) {
        if (slot.Control != nullptr && slot.Stopped) {
            ++counts.stopped;
        } else if (slot.Control != nullptr) {
            ++counts.running;
        }
    }
    return counts;
}

void PluginHost::ModuleStopped(int16_t n, const Fault& fault) {
    log_.WriteLogLine(ModuleCalls::stopFaultLine(fault, n), LogWriter::Line::Error);
    journalModuleStopped(n, slotAt(n).ProgID, fault.description());
    setStopped(n, true);
    Q_EMIT moduleStoppedInSlot(n, slotAt(n).ProgID);
}

void PluginHost::setStopped(int16_t n, bool stopped) {
    if (slotAt(n).Stopped != stopped) {
        slotAt(n).Stopped = stopped;
        Q_EMIT stoppedModulesChanged();
    }
}

std::vector<int16_t> PluginHost::stoppedSlots() const {
    std::vector<int16_t> stopped;
    for (int16_t n = 1; n <= std::min<int16_t>(slotCount_, ModuleCalls::SlotCount); ++n) {
        if (slot(n).Stopped) {
            stopped.push_back(n);
        }
    }
    return stopped;
}

// Once the end has begun no module starts again.
void PluginHost::RestartModule(int16_t n) {
    if (terminated_) {
        return;
    }
    FaultScope p(log_, ModuleCalls::CreateSource);
    p.step([&] {
        log_.WriteLogLine(p.sourceString() + QStringLiteral(" An "), LogWriter::Line::Data);
    });
    // A module whose new process stops again while it is created stays stopped.
    p.step([&] {
        controlOf(n).restart();
        setStopped(n, false);
        journalModuleRestarted(n, slotAt(n).ProgID);
        Q_EMIT moduleRestartedInSlot(n, slotAt(n).ProgID);
    });
    const PluginSlot& restarted = slotAt(n);
    p.step([&] {
        ModuleCalls::init(controlOf(n), restarted.Unit, restarted.Machine, restarted.MachineName);
    });
    if (!terminated_) {
        p.step([&] { ModuleCalls::refresh(controlOf(n)); });
    }
    p.step([&] {
        log_.WriteLogLine(p.sourceString() + QStringLiteral(" En "), LogWriter::Line::Data);
    });
    if (!terminated_) {
        stackTop_ = 0;
        PositioniereObjekte();
    }
}

void PluginHost::yield() {
    yieldToEvents_();
}

void PluginHost::StartProcedure(const ModuleKind& kind, const QString& callerSource) {
    StartModuleKind(kind, callerSource, line_, service_, log_, *this);
}

const PluginSlot& PluginHost::slot(int n) const {
    return oneBased(slots_, n);
}

PluginSlot& PluginHost::slotAt(int n) {
    return oneBased(slots_, n);
}

Extender& PluginHost::controlOf(int n) {
    Extender* control = slotAt(n).Control;
    if (control == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return *control;
}

QWidget& PluginHost::pictureHaupt() const {
    if (pictureHaupt_ == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return *pictureHaupt_;
}

Extender& PluginHost::scrollBar() const {
    if (scrollBar_ == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return *scrollBar_;
}

}  // namespace kestrix
