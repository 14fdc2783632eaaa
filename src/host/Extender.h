#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <vector>

#include "fault/Fault.h"
#include "host/EventInfo.h"
#include "platform/Screen.h"

namespace kestrix {

class ModuleBackend;

// The host's handle on one hosted control. Left, Top, Width, Height and Visible are its own
// (geometry in twips, converted with the screen's factors, of the widget that holds the control's
// place in the window); every other member goes to the control through its backend, which knows
// where the control runs. Every signal that the control's own class declares arrives as one
// ObjectEvent.
//
// The extender lives as long as the widget (it is its child) and owns the backend; the host's
// references to it are QPointers that empty themselves when the window unloads the control.
class Extender : public QObject {
    Q_OBJECT
public:
    // control: the widget that holds the control's place in the window (the control itself, or
    // the frame of a control in a process of its own).
    Extender(QWidget* control, ModuleBackend* backend, QString progId, QString name,
             ScreenTwips twips);

    // The signals of a control's class that arrive as its events, in declaration order.
    static std::vector<QMetaMethod> eventsOf(const QMetaObject& control);

    QWidget* control() const { return control_; }
    ModuleBackend& backend() const { return *backend_; }
    const QString& progId() const { return progId_; }
    const QString& name() const { return name_; }

    // Late-bound access by name; the extender's own names are handled here.
    QVariant get(const QString& member);
    void let(const QString& member, const QVariant& value, const QVariantList& arguments = {});
    // Late-bound access by dispatch id.
    void letId(int dispId, const QVariant& value);
    QVariant callId(int dispId, const QVariantList& arguments = {});

    // The extender's own geometry, in twips.
    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    bool Visible() const;
    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);
    void setVisible(bool visible);

    // Events arrive on the extender's thread. An event the control emits from another thread is
    // delivered there, and its emit waits until it has been. From this call on, waiting emits
    // return at once and later ones from other threads are not delivered (the end has begun).
    void releaseWaitingEvents();

    // Starts the control afresh (the operator's "Restart") and places it as its widget stands;
    // a control in the shell's own process cannot be restarted (91).
    void restart();

Q_SIGNALS:
    void ObjectEvent(const kestrix::EventInfo& info);
    // The control was stopped (its process died or did not answer): the fault says why. Its
    // frame stays in its place and shows the operator a "Restart" button.
    void stopped(const kestrix::Fault& fault);
    // The operator asks for a stopped control to be started afresh.
    void restartRequested();

private:
    // Tells the backend the widget's size and visibility.
    void place();

    QPointer<QWidget> control_;
    QString progId_;
    QString name_;
    ScreenTwips twips_;
    ModuleBackend* backend_;  // a child
};

// A module's AbsoluteHoehe as the layout reads it: the height in twips that the module reports;
// anything but a number is a type mismatch (13).
double AbsoluteHoeheOf(Extender& module);

}  // namespace kestrix
