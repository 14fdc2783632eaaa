#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "config/ActivationSettings.h"
#include "host/EventInfo.h"
#include "host/EventSinks.h"
#include "host/ModuleCalls.h"
#include "host/ModuleKinds.h"
#include "host/PluginSlot.h"
#include "platform/Screen.h"

class QWidget;

namespace kestrix {

class ControlFactory;
class Dialogs;
class Extender;
class Fault;
class FaultScope;
class LogWriter;
class RunningProcedures;
class Service;

// The operator window's plug-in modules: the 20 slots and their event sinks, the creation of a
// module (NeuesObjekt), the start procedures of the eight module kinds, the layout of the plug-in
// area with its scroll bar, the routing of module events to the operator, and the termination of
// every module at the end. Its module events and scroll-bar events are entry points of the
// window's procedures and count as running procedures.
class PluginHost : public QObject, public UnitRequests {
    Q_OBJECT
public:
    // Module events beyond this many open boxes wait, and are shown as boxes close; of more than
    // MaxWaitingEvents waiting ones the oldest are dropped.
    static constexpr int MaxOpenEventBoxes = 16;
    static constexpr int MaxWaitingEvents = 10000;
    // Distinct box texts kept beyond those of the waiting events before the others are let go.
    static constexpr int MaxKeptBoxTexts = 256;

    // yieldToEvents lets pending window events run once: between the units of a start procedure
    // and between the moves of the scroll refresh. By default the event loop processes them.
    PluginHost(LogWriter& log, Dialogs& dialogs, ControlFactory& controls, const Service& service,
               const LineSettings& line, ScreenTwips twips, RunningProcedures& procedures,
               std::function<void()> yieldToEvents = processWindowEvents);
    ~PluginHost() override;

    // The plug-in area (PictureHaupt, inside its frame) and the scroll bar; the scroll bar's
    // NeuePos events reach ScrollBar_NeuePos from here on. The scroll bar may be missing.
    void attach(QWidget* pictureHaupt, Extender* scrollBar);

    // The slot table: the number of the last slot requested (it goes beyond 20 with requests the
    // slots cannot take), and slot n (1..20; any other number is a subscript out of range, 9).
    int16_t slotCount() const { return slotCount_; }
    const PluginSlot& slot(int n) const;
    // The event sink of slot n (1..20): the extender it holds, or null.
    Extender* ObjWithEvent(int n) const;

    // The modules for the line's health: slots requested, modules created and running, and
    // those stopped (their processes died or hung) and not restarted.
    struct ModuleCounts {
        int configured = 0;
        int running = 0;
        int stopped = 0;
    };
    ModuleCounts moduleCounts() const;

    // Creates one plug-in module into the next slot (UnitRequests). Once the modules have been
    // terminated it creates none and writes nothing.
    void NeuesObjekt(const QString& progId, int16_t unit, int16_t machine,
                     const QString& machineName) override;
    void yield() override;
    bool terminated() const override { return terminated_; }

    // The start procedure of one module kind (HotmeltStart, OCRStart, ...: a row of the module
    // kinds' table), extending its caller's source string.
    void StartProcedure(const ModuleKind& kind, const QString& callerSource);

    // Layout and scrolling. A layout pass stacks the modules from stackTop() on and leaves it
    // below the last one, in twips.
    int32_t stackTop() const { return stackTop_; }
    // The scroll refresh: the position last asked for (0 at the top); while ScrollenAnzeigen moves
    // PictureHaupt, the positions asked for and those it has moved to, counted.
    struct ScrollState {
        int16_t position = 0;
        bool busy = false;
        int16_t requests = 0;
        int16_t done = 0;
    };
    const ScrollState& scrollState() const { return scroll_; }
    void PositioniereObjekte();
    void ScrollBar_NeuePos(int16_t position);
    // Scrolls the stack as the scroll bar does, so that the module in slot n stands at the top of
    // the plug-in area (or as near as the bar goes): the bar is moved, and its NeuePos scrolls.
    void ShowModule(int16_t n);
    void ScrollenAnzeigen();

    // Shows the operator one event of the module in the given slot, in a box of its own: at once
    // while fewer than MaxOpenEventBoxes are open, otherwise when the boxes before it have closed.
    void OCXEreignis(int16_t slot, const EventInfo& info);

    // The module part of the end: Terminate then drop the reference for slots 1..slotCount(), then
    // empty all 20 sinks; each step under the caller's fault scope. From here on no module is
    // created and work that yields stops at its next step.
    void TerminatePlugins(FaultScope& scope);

    // A fault that escaped code the event loop ran for this receiver (a module's own timer, say)
    // becomes a fault line in the operator window's log: with the module's ProgID as its source
    // and "KX." and the control's name ("KX.O3") as its source string when the receiver is a
    // hosted module or one of its parts, otherwise as it is with "KX." and the receiver's class.
    // False when there is no operator window with modules to write it.
    static bool ReportEscapedFault(const Fault& fault, const QObject* receiver,
                                   const QString& receiverClass);

    // The slots whose modules are stopped, in slot order.
    std::vector<int16_t> stoppedSlots() const;

Q_SIGNALS:
    // What the line's health counts: an event box closed, a module in a process of its own
    // stopped, and restarted by the operator.
    void eventShown(int slot, const QString& progId);
    void moduleStoppedInSlot(int slot, const QString& progId);
    void moduleRestartedInSlot(int slot, const QString& progId);
    // A module was stopped or started afresh: stoppedSlots() has changed.
    void stoppedModulesChanged();

private:
    // The journal's record of an event's box that was open for `open`.
    void recordEventShown(const QString& boxText, std::chrono::nanoseconds open);
    // The default yield: QCoreApplication::processEvents().
    static void processWindowEvents();
    // Follows the module's stop and the operator's "Restart" of it (only a module in a process of
    // its own is ever stopped; every module is followed alike).
    void watchStop(int16_t n);
    // The stop's fault line, under the module's ProgID and control name; the slot counts as
    // stopped until a restart of its module succeeds.
    void ModuleStopped(int16_t n, const Fault& fault);
    void setStopped(int16_t n, bool stopped);
    // Starts a stopped module afresh, logged like its creation: Init and Refresh as then, then the
    // layout again (its height may have changed).
    void RestartModule(int16_t n);
    // The hosts alive, in the order they were made; on the window's thread only.
    static std::vector<PluginHost*>& liveHosts();
    // The module whose control is this object, or null.
    const Extender* moduleWithControl(const QObject* control) const;
    // Slot n of the table; a number outside 1..20 is a subscript out of range (9).
    PluginSlot& slotAt(int n);
    // The module held in slot n; an empty slot is no object (91).
    Extender& controlOf(int n);
    QWidget& pictureHaupt() const;
    Extender& scrollBar() const;
    // The scroll bar's events: NeuePos reaches ScrollBar_NeuePos with its first argument.
    void scrollBarEvent(const EventInfo& info);
    // Puts an event's box text in the queue, dropping the oldest beyond MaxWaitingEvents.
    void waitForBox(const QString& text);
    // Lets go of the box texts that no waiting event shows.
    void keepOnlyWaitingBoxTexts();
    // One line for the events dropped since the last such line, if any.
    void reportDroppedEvents() noexcept;

    LogWriter& log_;
    Dialogs& dialogs_;
    ControlFactory& controls_;
    const Service& service_;
    const LineSettings& line_;
    ScreenTwips twips_;
    RunningProcedures& procedures_;
    std::function<void()> yieldToEvents_;
    int16_t slotCount_ = 0;
    std::array<PluginSlot, ModuleCalls::SlotCount> slots_;  // slot n at index n − 1
    int32_t stackTop_ = 0;
    ScrollState scroll_;
    bool terminated_ = false;
    // The slot whose module is being created, while its creation waits for the module's process.
    int16_t creatingSlot_ = 0;
    // The waiting events, oldest first, each as the number of its box text. A module raises the
    // same few events over and over, so each distinct text is kept once: a long queue stays small;
    // texts that no event waits for any more are let go.
    std::deque<uint32_t> waitingBoxes_;
    std::vector<QString> boxTexts_;
    QHash<QString, uint32_t> boxTextNumbers_;
    int openBoxes_ = 0;
    // Slot n's module is stopped at bit n − 1.
    int droppedEvents_ = 0;
    QPointer<QWidget> pictureHaupt_;
    QPointer<Extender> scrollBar_;
    QMetaObject::Connection scrollBarEvents_;
    EventSinks sinks_;
    ModuleCalls calls_;  // every call on a module goes through here
};

}  // namespace kestrix
