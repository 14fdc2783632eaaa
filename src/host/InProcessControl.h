#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "host/ModuleBackend.h"
#include "platform/Screen.h"

namespace kestrix {

class EventRelay;
class Extender;

// A control that runs in the shell's own process: its members are reached by late binding, each
// call naming the control as the code that runs (a fault it raises carries its ProgID), and every
// signal of its own class arrives as one event, on the window's thread. It is never stopped and
// cannot be started afresh.
class InProcessControl final : public ModuleBackend {
public:
    InProcessControl(QWidget* control, QString progId, QString name);
    ~InProcessControl() override;

    // The extender of a control in the shell's own process: the control's child, as it owns it.
    static Extender* extend(QWidget* control, const QString& progId, const QString& name,
                            ScreenTwips twips);

    QVariant get(const QString& member) override;
    void let(const QString& member, const QVariant& value, const QVariantList& arguments) override;
    void letId(int dispId, const QVariant& value) override;
    QVariant callId(int dispId, const QVariantList& arguments) override;
    // The control is the extender's widget itself: it is placed already.
    void place(QSize, bool) override {}
    void restart() override;
    void releaseWaitingEvents() override;
    qint64 processId() const override;

    const QString& name() const { return name_; }

private:
    QPointer<QWidget> control_;
    QString progId_;
    QString name_;
    EventRelay* relay_ = nullptr;  // a child
};

}  // namespace kestrix
