#pragma once

#include <QPointer>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

#include "host/ControlFactory.h"
#include "isolation/KeyboardFocus.h"
#include "platform/Screen.h"

namespace kestrix {

class ModuleProcess;
class PluginControlFactory;

// Creates the operator window's modules each in a process of its own (the module host program),
// their windows embedded in the window's plug-in area; the shell's own controls (the scroll bar)
// come from the registry in the shell's process as before. The registry also says which library
// serves a ProgID, without loading it in the shell.
//
// A few module processes are started ahead, as spares, so that creating a module does not wait
// for a process to start: when a module takes one, the next spare starts beside it.
class ProcessControlFactory final : public ControlFactory {
public:
    static constexpr int Spares = 2;

    // The module host program as installed: beside the shell's (and the checker's) program.
    static QString moduleHostIn(const QString& programDirectory);

    // spares: how many processes to keep started ahead (the commissioning check, which creates
    // one module, keeps none).
    ProcessControlFactory(PluginControlFactory& registry, QString moduleHostProgram,
                          ScreenTwips twips, int spares = Spares);
    ~ProcessControlFactory() override;

    Extender* Add(const QString& progId, const QString& name, QWidget* container) override;
    Extender* AddModule(const QString& progId, const QString& name, QWidget* container) override;
    bool isRegistered(const QString& progId) const override;
    void prepareModules() override;
    void endModules() override;

    // A started module process (a spare when there is one); the caller owns it.
    ModuleProcess* takeProcess();

private:
    void startSpares();

    PluginControlFactory& registry_;
    QString moduleHostProgram_;
    ScreenTwips twips_;
    int spareCount_;
    std::deque<std::unique_ptr<ModuleProcess>> spares_;
    std::vector<QPointer<ModuleProcess>> handedOut_;
    bool prepared_ = false;
    KeyboardFocus::ReclaimOnClick reclaimFocus_;
    bool reclaiming_ = false;
};

}  // namespace kestrix
