#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "fault/Fault.h"
#include "host/EventSinks.h"
#include "platform/Screen.h"

class QWidget;

namespace kestrix {

class ControlFactory;
class Extender;

// What the shell does with one plug-in module, in the order it does it, and the fault each call
// raises: the operator window's creation (NeuesObjekt), layout (PositioniereObjekte), event
// routing (OCXEreignis) and end (InternEndProgram) make these calls, and so does the
// commissioning check's test container, so that it predicts the shell call for call.
//
//   create      Add(ProgID, "O" + n, PictureHaupt), held by event sink n before anything else
//   init        Init(unit, machine, machine name) = True
//   refresh     Refresh = True
//   placeLeft, placeTop, placeWidth, show    Left = 0, Top, Width = PictureHaupt's, Visible
//   height      read AbsoluteHoehe
//   events      each one a box "n Name" (eventBoxText)
//   terminate   Terminate = True
//
// Each call raises the Fault that its caller reports under the source string given here.
class ModuleCalls {
public:
    // The plug-in slots, each with its event sink.
    static constexpr int SlotCount = EventSinks::Count;
    // The operator window's plug-in area PictureHaupt, whose width every module takes.
    static constexpr int PictureHauptWidthTwips = 11235;

    // The source strings under which the shell reports the calls' faults.
    static const QString CreateSource;  // create, init, refresh
    static const QString PlaceSource;   // the placement and the height
    static const QString EventSource;   // the boxes of the events
    static const QString EndSource;     // terminate

    // The members the shell reaches by name on every module, with the arguments it passes.
    struct Member {
        const char* name;
        int arguments;    // besides the value of an assignment
        bool assignment;  // an assignment of True, or a read
        const char* use;
    };
    static const std::array<Member, 4> Members;

    ModuleCalls(ControlFactory& controls, EventSinks& sinks, ScreenTwips twips);

    // The control's name in slot n: "O" + n.
    static QString controlName(int n);
    // The source string of a failed creation: "KX.NeuesObjekt Object:" + ProgID + "[n]".
    static QString createFaultSource(const QString& progId, int n);
    // The text of the box that shows an event of the module in slot n.
    static QString eventBoxText(int16_t slot, const QString& eventName);
    // The slot and event name that a box text shows.
    struct BoxedEvent {
        int16_t slot = 0;
        QString name;
    };
    static BoxedEvent eventOfBoxText(const QString& text);
    // The line the shell writes when a module's own code (its timer, say) lets an exception
    // escape to the event dispatch: the fault the exception stands for (Automation error with its
    // text, as a rule) with the module's ProgID as its source, reported as the module's control.
    static QString ownCodeFaultLine(const Fault& fault, const QString& progId,
                                    const QString& control);
    // The line the shell writes when the module in slot n, running in a process of its own, is
    // stopped (its process died, hung or sent garbage) with this fault.
    static QString stopFaultLine(const Fault& fault, int16_t n);

    // Creates the control of the ProgID for slot n inside PictureHaupt, hidden, and lets sink n
    // hold it, so that events raised from Init on reach slot n. Returns its extender.
    Extender* create(int16_t n, const QString& progId, QWidget* pictureHaupt);
    static void init(Extender& module, int16_t unit, int16_t machine, const QString& machineName);
    static void refresh(Extender& module);
    static void placeLeft(Extender& module);
    static void placeTop(Extender& module, int32_t topTwips);
    // Width := PictureHaupt's width in twips.
    void placeWidth(Extender& module, const QWidget& pictureHaupt) const;
    static void show(Extender& module);
    // The height in twips that the module occupies; anything but a number is a type mismatch.
    static double height(Extender& module);
    static void terminate(Extender& module);

private:
    ControlFactory& controls_;
    EventSinks& sinks_;
    ScreenTwips twips_;
};

}  // namespace kestrix
