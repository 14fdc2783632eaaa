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

class EventRelay;
class RemoteControl;

// The host's handle on one hosted control. Left, Top, Width, Height and Visible are its own
// (geometry in twips, converted with the screen's factors); every other member goes late-bound to
// the control. Every signal that the control's own class declares arrives as one ObjectEvent.
//
// The extender lives as long as its control (it is the control's child); the host's references
// to it are QPointers that empty themselves when the window unloads the control.
class Extender : public QObject {
    Q_OBJECT
public:
    Extender(QWidget* control, QString progId, QString name, ScreenTwips twips);
    // A control in a process of its own: the frame takes its place in the window and the remote
    // side (which the extender then owns) its members.
    Extender(QWidget* frame, RemoteControl* remote, QString progId, QString name,
             ScreenTwips twips);

    // The signals of a control's class that arrive as its events, in declaration order.
    static std::vector<QMetaMethod> eventsOf(const QMetaObject& control);

    QWidget* control() const { return control_; }
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

    // Whether the control runs in a process of its own, and starting it afresh there (the
    // operator's "Restart"); a control in this process cannot be restarted (91).
    bool isRemote() const { return remote_ != nullptr; }
    void restart();

Q_SIGNALS:
    void ObjectEvent(const kestrix::EventInfo& info);
    // A control in a process of its own was stopped (it died or did not answer): the fault says
    // why. Its frame stays in its place and shows the operator a "Restart" button.
    void Stopped(const kestrix::Fault& fault);
    // The operator asks for a stopped control to be started afresh.
    void RestartRequested();

private:
    void forwardEvents();
    // Tells a control in a process of its own where its frame is now.
    void placeRemote();

    QPointer<QWidget> control_;
    QString progId_;
    QString name_;
    ScreenTwips twips_;
    EventRelay* relay_ = nullptr;      // a child
    RemoteControl* remote_ = nullptr;  // a child
};

// A module's AbsoluteHoehe as the layout reads it: the height in twips that the module reports;
// anything but a number is a type mismatch (13).
double AbsoluteHoeheOf(Extender& module);

}  // namespace kestrix
