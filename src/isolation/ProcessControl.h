#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <optional>

#include "channel/ModuleMessage.h"
#include "host/ModuleBackend.h"
#include "platform/Screen.h"

namespace kestrix {

class Clock;
class ModuleFrame;
class ModuleProcess;
class ProcessControlFactory;

// One module in a process of its own, as its extender reaches it: every late-bound member is a
// call to that process, whose events, own faults and stop come back as this backend's signals.
// Once the process is stopped the frame shows why, the stop is reported once, and the module's
// members are quiet: assignments do nothing, reads give nothing but AbsoluteHoehe, which keeps the
// module's last height so that its slot keeps its place.
class ProcessControl final : public ModuleBackend {
public:
    ProcessControl(ProcessControlFactory& factory, QString library, QString progId, QString name,
                   ModuleFrame* frame, ScreenTwips twips, const Clock& clock);

    // Creates the control in a started process, its window in the frame. A refusal of the
    // module's (an unknown library, a constructor that throws) is raised as its fault; a process
    // that stops meanwhile is Cannot create object (429) with the cause.
    void create(ModuleProcess* process);

    QVariant get(const QString& member) override;
    void let(const QString& member, const QVariant& value, const QVariantList& arguments) override;
    void letId(int dispId, const QVariant& value) override;
    QVariant callId(int dispId, const QVariantList& arguments) override;
    void place(QSize size, bool visible) override;
    void restart() override;
    // The factory released every module process at once as the end began (endModules), the one
    // being created among them.
    void releaseWaitingEvents() override {}
    qint64 processId() const override;

private:
    void listenTo(ModuleProcess& process);
    std::optional<QVariantList> call(const ModuleMessage& message, const QString& member);
    void processStopped(const QString& cause);
    double stoppedHeight() const;

    ProcessControlFactory& factory_;
    QString library_;
    QString progId_;
    QString name_;
    QPointer<ModuleFrame> frame_;
    ScreenTwips twips_;
    const Clock& clock_;  // says when the module stopped
    QPointer<ModuleProcess> process_;
    bool creating_ = false;
    std::optional<QVariant> lastHeight_;
};

}  // namespace kestrix
