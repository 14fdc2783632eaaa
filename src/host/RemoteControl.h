#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QVariant>

namespace kestrix {

// The members of a control that runs in a process of its own, as its extender reaches them: the
// late-bound calls go to that process, the extender's placement of the control's frame is passed
// on, and the control can be started afresh. Its events, its stop and the operator's request to
// restart it come back as the extender's signals.
class RemoteControl : public QObject {
public:
    using QObject::QObject;

    virtual QVariant get(const QString& member) = 0;
    virtual void let(const QString& member, const QVariant& value,
                     const QVariantList& arguments) = 0;
    virtual void letId(int dispId, const QVariant& value) = 0;
    virtual QVariant callId(int dispId, const QVariantList& arguments) = 0;
    // The frame has this size and visibility now.
    virtual void place(QSize size, bool visible) = 0;
    // Starts the control afresh in a new process, created as before; its placing, Init and the
    // rest are the caller's.
    virtual void restart() = 0;
};

}  // namespace kestrix
