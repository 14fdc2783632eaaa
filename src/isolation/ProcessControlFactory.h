#pragma once

#include <QDeadlineTimer>
#include <QPointer>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

#include "channel/KeyboardFocus.h"
#include "host/ControlFactory.h"
#include "isolation/ModalInputBlock.h"
#include "platform/Screen.h"

namespace kestrix {

class Clock;
class ModuleProcess;
class PluginControlFactory;

// Creates the operator window's modules each in a process of its own (the module host program),
// their windows embedded in the window's plug-in area; the shell's own controls (the scroll bar)
// come from the registry in the shell's process as before. The registry also says which library
// serves a ProgID, without loading it in the shell.
//
// Module processes are started ahead, as spares, so that creating a module does not wait for a
// process to start: as the window gets ready for its modules, one per slot, side by side (they
// start in the countdown's time, and on a machine of few cores together faster than one after
// the other); once the modules have started, a few for restarts. When a module takes one after
// the start, the next spare starts beside it.
//
// While a modal box of the shell's is shown, every module's process refuses the pointer and the
// keyboard, as the shell's own windows do: their windows are beyond the reach of Qt's modality.
class ProcessControlFactory final : public ControlFactory {
public:
    static constexpr int SparesForRestarts = 2;

    // The module host program as installed: beside the shell's (and the checker's) program.
    static QString moduleHostIn(const QString& programDirectory);

    // The clock says when a module stopped. sparesForRestarts: how many processes to keep started
    // ahead once the modules have started (the commissioning check, which creates one module,
    // keeps none).
    ProcessControlFactory(PluginControlFactory& registry, QString moduleHostProgram,
                          ScreenTwips twips, const Clock& clock,
                          int sparesForRestarts = SparesForRestarts);
    ~ProcessControlFactory() override;

    Extender* Add(const QString& progId, const QString& name, QWidget* container) override;
    Extender* AddModule(const QString& progId, const QString& name, QWidget* container) override;
    bool isRegistered(const QString& progId) const override;
    void prepareModules() override;
    void modulesStarted() override;
    void endModules() override;
    // Tells every module process to destroy its control and end; the factory keeps the processes
    // from here on, so that the window's end does not kill them meanwhile.
    void destroyModules() override;
    // Waits, with events running, until the module processes told to end have ended, at most the
    // answer limit from when they were told; one that is still running then is killed with its
    // process group. The program's end waits here before it ends.
    void awaitModulesEnd();

    // A started module process that still runs (a spare when there is one); the caller owns it.
    ModuleProcess* takeProcess();

private:
    // The first spare that still runs, or none; the spares before it that died are dropped.
    std::unique_ptr<ModuleProcess> takeRunningSpare();
    void dropDeadSpares();
    // Starts spares until there are this many; a spare that died while it waited is replaced.
    void startSparesUpTo(int count);
    void endSparesBeyond(int count);
    // Tells every module's process whether it refuses the pointer and the keyboard.
    void blockInput(bool blocked);

    PluginControlFactory& registry_;
    QString moduleHostProgram_;
    ScreenTwips twips_;
    const Clock& clock_;
    int sparesForRestarts_;
    std::deque<std::unique_ptr<ModuleProcess>> spares_;
    std::vector<QPointer<ModuleProcess>> handedOut_;
    std::vector<std::unique_ptr<ModuleProcess>> ending_;
    QDeadlineTimer endDeadline_;
    KeyboardFocus::ReclaimOnClick reclaimFocus_;
    bool reclaiming_ = false;
    bool starting_ = false;  // between getting ready for the modules and their start's end
    ModalInputBlock modalInputBlock_{[this](bool blocked) { blockInput(blocked); }};
};

}  // namespace kestrix
