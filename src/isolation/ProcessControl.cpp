#include "isolation/ProcessControl.h"

#include "host/PluginHost.h"
#include "isolation/ModuleFrame.h"
#include "isolation/ModuleProcess.h"
#include "isolation/ModuleStop.h"
#include "isolation/ProcessControlFactory.h"
#include "platform/Clock.h"

namespace kestrix {
namespace {

const QString AbsoluteHoehe = QStringLiteral("AbsoluteHoehe");
const QString Init = QStringLiteral("Init");

QString dispatchName(int dispId) {
    return QStringLiteral("member %1").arg(dispId);
}

}  // namespace

ProcessControl::ProcessControl(ProcessControlFactory& factory, QString library, QString progId,
                               QString name, ModuleFrame* frame, ScreenTwips twips,
                               const Clock& clock)
    : factory_(factory),
      library_(std::move(library)),
      progId_(std::move(progId)),
      name_(std::move(name)),
      frame_(frame),
      twips_(twips),
      clock_(clock) {
    // A click on "Restart" while the module is being created (again) is ignored.
    connect(frame, &ModuleFrame::restartClicked, this, [this] {
        if (!creating_) {
            Q_EMIT restartRequested();
        }
    });
    connect(frame, &ModuleFrame::focusEntered, this, [this](bool forward) {
        if (process_ != nullptr) {
            Message::TakeFocus focus;
            focus.forward = forward;
            process_->send(focus.frame());
        }
    });
}

void ProcessControl::create(ModuleProcess* process) {
    process->setParent(this);
    process_ = process;
    listenTo(*process);
    // The creation waits in a nested loop, in which the window may let the module go.
    const QPointer<ProcessControl> self(this);
    creating_ = true;
    std::optional<QVariantList> created;
    try {
        const auto window =
            static_cast<qulonglong>(frame_ != nullptr ? frame_->embeddingWindow() : 0);
        Message::Create create;
        create.library = library_;
        create.progId = progId_;
        create.name = name_;
        create.window = window;
        created = process->call(create.frame(), ModuleStop::CreationCall);
    } catch (const Fault& fault) {
        if (self != nullptr) {
            process->stop(fault.description());
            creating_ = false;
        }
        throw;
    }
    if (self == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    creating_ = false;
    // Released because the end has begun: the module is not shown, only terminated.
    if (!created && !process->isStopped()) {
        return;
    }
    if (!created) {
        throw Fault(ErrorNumber::CannotCreateObject,
                    Fault::standardDescription(ErrorNumber::CannotCreateObject) +
                        QStringLiteral(": the module's process stopped: ") + process->cause());
    }
    if (frame_ != nullptr) {
        const QSize size(created->value(0).toInt(), created->value(1).toInt());
        if (size.isValid()) {
            frame_->resize(size);
        }
        frame_->showModule();
    }
    process->checkLife();
}

// The module's events and its stop are this backend's (its stop shown in the frame), its own faults
// go to the log and are passed on; the frame follows the control's size (its height is its own, as
// in the window), takes the keyboard back when Tab leaves the control and passes on the wheel the
// control did not take.
void ProcessControl::listenTo(ModuleProcess& process) {
    connect(&process, &ModuleProcess::eventRaised, this, &ProcessControl::eventRaised);
    connect(&process, &ModuleProcess::ownFault, this, [this](const Fault& fault) {
        PluginHost::ReportEscapedFault(fault, frame_, QStringLiteral("ModuleFrame"));
        Q_EMIT ownFault(fault);
    });
    connect(&process, &ModuleProcess::stopped, this, &ProcessControl::processStopped);
    connect(&process, &ModuleProcess::resized, this, [this](QSize size) {
        if (frame_ != nullptr && size.isValid()) {
            frame_->resize(size);
        }
    });
    connect(&process, &ModuleProcess::focusLeft, this, [this](bool forward) {
        if (frame_ != nullptr) {
            frame_->focusAfter(forward);
        }
    });
    connect(&process, &ModuleProcess::wheelNotTaken, this, [this](QPoint angleDelta) {
        if (frame_ != nullptr) {
            frame_->passWheel(angleDelta);
        }
    });
}

std::optional<QVariantList> ProcessControl::call(const ModuleMessage& message,
                                                 const QString& member) {
    if (process_ == nullptr || process_->isStopped()) {
        return std::nullopt;
    }
    return process_->call(message, member);
}

QVariant ProcessControl::get(const QString& member) {
    Message::Get get;
    get.member = member;
    std::optional<QVariantList> answer = call(get.frame(), member);
    if (!answer) {
        return member.compare(AbsoluteHoehe, Qt::CaseInsensitive) == 0 ? stoppedHeight()
                                                                       : QVariant();
    }
    const QVariant value = answer->value(0);
    if (member.compare(AbsoluteHoehe, Qt::CaseInsensitive) == 0) {
        lastHeight_ = value;
    }
    return value;
}

// Init's unit, machine and machine name are what the module's header shows; the frame keeps
// them to name the module once it has stopped.
void ProcessControl::let(const QString& member, const QVariant& value,
                         const QVariantList& arguments) {
    if (frame_ != nullptr && arguments.size() == 3 &&
        member.compare(Init, Qt::CaseInsensitive) == 0) {
        frame_->setIdentity(arguments[0].toInt(), arguments[1].toInt(), arguments[2].toString());
    }
    Message::Let let;
    let.member = member;
    let.value = value;
    let.arguments = arguments;
    call(let.frame(), member);
}

void ProcessControl::letId(int dispId, const QVariant& value) {
    Message::LetId let;
    let.dispId = dispId;
    let.value = value;
    call(let.frame(), dispatchName(dispId));
}

QVariant ProcessControl::callId(int dispId, const QVariantList& arguments) {
    Message::CallId callId;
    callId.dispId = dispId;
    callId.arguments = arguments;
    std::optional<QVariantList> answer = call(callId.frame(), dispatchName(dispId));
    return answer ? answer->value(0) : QVariant();
}

void ProcessControl::place(QSize size, bool visible) {
    if (process_ != nullptr && !process_->isStopped()) {
        Message::Place place;
        place.width = size.width();
        place.height = size.height();
        place.visible = visible;
        process_->send(place.frame());
    }
}

// The old process, if it still runs, goes on ending; a new one takes the module's place. The
// extender places it, as its frame stands now.
void ProcessControl::restart() {
    if (creating_) {
        return;
    }
    if (process_ != nullptr) {
        process_->disconnect(this);
        process_->stop(QStringLiteral("restarted"));
        process_->deleteLater();
    }
    create(factory_.takeProcess());
}

qint64 ProcessControl::processId() const {
    return process_ != nullptr ? process_->processId() : 0;
}

// A stop while the control is being created is the creation's fault, which its caller reports.
void ProcessControl::processStopped(const QString& cause) {
    if (frame_ != nullptr) {
        frame_->showStopped(progId_, cause, clock_.now(),
                            lastHeight_ ? twips_.toPixelsY(stoppedHeight()) : 0);
    }
    if (creating_) {
        return;
    }
    Q_EMIT stopped(ModuleStop::fault(name_, progId_, cause));
}

double ProcessControl::stoppedHeight() const {
    if (lastHeight_) {
        bool ok = false;
        const double twips = lastHeight_->toDouble(&ok);
        if (ok) {
            return twips;
        }
    }
    return frame_ != nullptr ? frame_->height() * double{twips_.y} : 0.0;  // the panel's own
}

}  // namespace kestrix
