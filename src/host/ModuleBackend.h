#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QVariant>

#include "fault/Fault.h"
#include "host/EventInfo.h"

namespace kestrix {

// Where a hosted control's code runs, as its extender reaches it: in the shell's own process
// (InProcessControl) or in a process of its own (the isolation's ProcessControl). The extender
// handles its own members (the geometry) and forwards everything else here; the control's events,
// its stop and the operator's request to restart it come back as this object's signals, which the
// extender passes on as its own.
class ModuleBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Late-bound access to the control's own members, by name or by dispatch id.
    virtual QVariant get(const QString& member) = 0;
    virtual void let(const QString& member, const QVariant& value,
                     const QVariantList& arguments) = 0;
    virtual void letId(int dispId, const QVariant& value) = 0;
    virtual QVariant callId(int dispId, const QVariantList& arguments) = 0;
    // The control's place in the window has this size and visibility now.
    virtual void place(QSize size, bool visible) = 0;
    // Starts the control afresh, created as before; its placing, Init and the rest are the
    // caller's. A control that cannot be started afresh raises Object not set (91).
    virtual void restart() = 0;
    // The end has begun: an event the control waits to have shown returns at once, and later
    // ones from its own threads are not shown.
    virtual void releaseWaitingEvents() = 0;
    // The process the control's code runs in.
    virtual qint64 processId() const = 0;

Q_SIGNALS:
    // One of the control's events; when the handlers return, the control's emit returns.
    void eventRaised(const kestrix::EventInfo& info);
    // The control was stopped (its process died or did not answer): the fault says why.
    void stopped(const kestrix::Fault& fault);
    // The operator asks for the stopped control to be started afresh.
    void restartRequested();
    // A fault escaped the control's own code outside any call of the host's (its timer, say) in
    // a process of its own; in the shell's process the application's handler meets it instead.
    void ownFault(const kestrix::Fault& fault);
};

}  // namespace kestrix
