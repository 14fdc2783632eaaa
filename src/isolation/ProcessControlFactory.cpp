#include "isolation/ProcessControlFactory.h"

#include <sys/wait.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "fault/Fault.h"
#include "host/Extender.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "isolation/ModuleFrame.h"
#include "isolation/ModuleProcess.h"
#include "isolation/ProcessControl.h"

namespace kestrix {
namespace {

// Whether the process still runs. Its end may not have reached the shell's loop yet (a spare is
// killed just before it is taken), so the process itself is asked: one that has ended waits to
// be reaped, and is left so for its QProcess.
bool stillRuns(const ModuleProcess& process) {
    if (process.isStopped()) {
        return false;
    }
    const auto pid = static_cast<id_t>(process.processId());
    siginfo_t info{};
    return pid > 0 && waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT | __WALL) == 0 &&
           info.si_pid == 0;
}

ModuleMessage inputBlocked(bool blocked) {
    Message::InputBlocked message;
    message.blocked = blocked;
    return message.frame();
}

}  // namespace

QString ProcessControlFactory::moduleHostIn(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/kestrix-module");
}

ProcessControlFactory::ProcessControlFactory(PluginControlFactory& registry,
                                             QString moduleHostProgram, ScreenTwips twips,
                                             const Clock& clock, int sparesForRestarts)
    : registry_(registry),
      moduleHostProgram_(std::move(moduleHostProgram)),
      twips_(twips),
      clock_(clock),
      sparesForRestarts_(sparesForRestarts) {
    // Each module's place is a native window, and a native window's ancestors become native with
    // it; their siblings need not (nothing of the window overlaps a module's place), which spares
    // the window a native window for each of its controls when the first module is created.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
}

ProcessControlFactory::~ProcessControlFactory() = default;

Extender* ProcessControlFactory::Add(const QString& progId, const QString& name,
                                     QWidget* container) {
    return registry_.Add(progId, name, container);
}

// An unknown ProgID faults as in the shell's own process, without a process started for it.
Extender* ProcessControlFactory::AddModule(const QString& progId, const QString& name,
                                           QWidget* container) {
    if (container == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    const QString library = registry_.libraryOf(progId);
    if (library.isEmpty()) {
        raiseFault(ErrorNumber::CannotCreateObject);
    }
    if (!reclaiming_) {
        qApp->installEventFilter(&reclaimFocus_);
        reclaiming_ = true;
    }
    auto* frame = new ModuleFrame(container);
    frame->setObjectName(name);
    frame->hide();  // the host places and shows it later
    auto control =
        std::make_unique<ProcessControl>(*this, library, progId, name, frame, twips_, clock_);
    try {
        control->create(takeProcess());
    } catch (...) {
        control.reset();
        delete frame;
        throw;
    }
    return new Extender(frame, control.release(), progId, name, twips_);
}

bool ProcessControlFactory::isRegistered(const QString& progId) const {
    return registry_.isRegistered(progId);
}

void ProcessControlFactory::prepareModules() {
    starting_ = true;
    startSparesUpTo(ModuleCalls::SlotCount);
}

void ProcessControlFactory::modulesStarted() {
    starting_ = false;
    endSparesBeyond(sparesForRestarts_);
    startSparesUpTo(sparesForRestarts_);
}

ModuleProcess* ProcessControlFactory::takeProcess() {
    std::unique_ptr<ModuleProcess> process = takeRunningSpare();
    if (process == nullptr) {
        process = ModuleProcess::start(moduleHostProgram_);
    }
    // While the modules start, no process starts beside their creation and layout; the spares for
    // restarts follow once they have started.
    if (!starting_) {
        startSparesUpTo(sparesForRestarts_);
    }
    std::erase(handedOut_, nullptr);
    handedOut_.emplace_back(process.get());
    if (modalInputBlock_.isBlocking()) {
        process->send(inputBlocked(true));
    }
    return process.release();
}

void ProcessControlFactory::endModules() {
    for (const QPointer<ModuleProcess>& process : handedOut_) {
        if (process != nullptr) {
            process->releaseEvents();
        }
    }
}

void ProcessControlFactory::blockInput(bool blocked) {
    for (const QPointer<ModuleProcess>& process : handedOut_) {
        if (process != nullptr) {
            process->send(inputBlocked(blocked));
        }
    }
}

// A stopped process is ending already, under its owner.
void ProcessControlFactory::destroyModules() {
    endDeadline_ = QDeadlineTimer(std::chrono::seconds(ModuleProcess::answerLimitSeconds()));
    for (const QPointer<ModuleProcess>& process : handedOut_) {
        if (process != nullptr && !process->isStopped()) {
            process->setParent(nullptr);
            ending_.emplace_back(process.data());
            process->end();
        }
    }
    handedOut_.clear();
}

void ProcessControlFactory::awaitModulesEnd() {
    const auto allEnded = [this] {
        return std::all_of(ending_.begin(), ending_.end(),
                           [](const auto& process) { return process->hasEnded(); });
    };
    if (!allEnded()) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        for (const auto& process : ending_) {
            QObject::connect(process.get(), &ModuleProcess::ended, &loop, [&] {
                if (allEnded()) {
                    loop.quit();
                }
            });
        }
        limit.start(std::max<qint64>(endDeadline_.remainingTime(), 0));
        loop.exec();
    }
    ending_.clear();  // what still runs is killed with its group
}

std::unique_ptr<ModuleProcess> ProcessControlFactory::takeRunningSpare() {
    dropDeadSpares();
    if (spares_.empty()) {
        return nullptr;
    }
    std::unique_ptr<ModuleProcess> spare = std::move(spares_.front());
    spares_.pop_front();
    return spare;
}

void ProcessControlFactory::dropDeadSpares() {
    std::erase_if(spares_, [](const auto& spare) { return !stillRuns(*spare); });
}

void ProcessControlFactory::startSparesUpTo(int count) {
    dropDeadSpares();
    while (spares_.size() < static_cast<size_t>(count)) {
        spares_.push_back(ModuleProcess::start(moduleHostProgram_));
    }
}

void ProcessControlFactory::endSparesBeyond(int count) {
    while (spares_.size() > static_cast<size_t>(count)) {
        spares_.pop_back();
    }
}

}  // namespace kestrix
