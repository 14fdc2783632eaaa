#include "PluginContainer.h"

#include <kestrix/ControlPlugin.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QScopeGuard>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "CallWait.h"
#include "MemberDiagnosis.h"
#include "fault/Fault.h"
#include "host/EventInfo.h"
#include "host/EventSinks.h"
#include "host/Extender.h"
#include "host/LateBinding.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "host/PluginSafety.h"
#include "isolation/ModuleProcess.h"
#include "isolation/ProcessControlFactory.h"
#include "platform/Clock.h"

namespace kestrix::check {
namespace {

constexpr int Slot = 1;
// The longest a module's own code may hold its process's event loop while a call of the shell's
// waits, before its window visibly freezes; the run asks it for its height this often to find out.
constexpr int BlockLimitMs = 1000;
constexpr int HeartbeatMs = 100;
// The last step, which runs also after a stop: the window goes, and the module's process with it.
const QString UnloadStep = QStringLiteral("unload");

QJsonValue jsonOf(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Float:
        case QMetaType::Double:
            return value.toDouble();
        default:
            return value.canConvert<QString>()
                       ? QJsonValue(value.toString())
                       : QJsonValue(QStringLiteral("<%1>").arg(value.metaType().name()));
    }
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

class Container {
public:
    Container(const ContainerOptions& options, RecordWriter& out)
        : options_(options),
          out_(out),
          twips_(ScreenTwips::ofPrimaryScreen()),
          sinks_([this](int16_t slot, const EventInfo& info) { routed(slot, info); }) {}

    void run() {
        if (!findLibrary()) {
            out_.write({{QStringLiteral("record"), QStringLiteral("end")}});
            return;
        }
        // No spare processes: the check creates one module.
        isolated_.emplace(*registry_,
                          ProcessControlFactory::moduleHostIn(QApplication::applicationDirPath()),
                          twips_, clock_, 0);
        calls_.emplace(*isolated_, sinks_, twips_);
        pictureHaupt_ = std::make_unique<QWidget>();
        pictureHaupt_->resize(twips_.toPixelsX(ModuleCalls::PictureHauptWidthTwips), 600);
        if (create()) {
            describeMembers();
            initialise();
            place();
            letRun();
            terminate();
        }
        // The module's process (and its process group) ends with the window, as in the shell.
        step(UnloadStep, QStringLiteral("the window unloads the control"), {},
             [&] { pictureHaupt_.reset(); });
        out_.write({{QStringLiteral("record"), QStringLiteral("end")}});
    }

private:
    // The library that the shell would take: the one file (by the registry's rules, which its
    // folder must pass too), or the one that serves the ProgID in the shell's folders.
    bool findLibrary() {
        QStringList skipped;
        if (options_.library.isEmpty()) {
            registry_.emplace(PluginControlFactory::defaultFolders(), twips_);
        } else {
            const QFileInfo library(options_.library);
            registry_.emplace(QStringList{}, twips_);
            if (QString why = unsafePluginFolder(library.absolutePath()); !why.isEmpty()) {
                skipped.append(why);
            } else {
                registry_->registerLibrary(library.absoluteFilePath());
            }
        }
        skipped += registry_->skipped();
        for (const QString& line : skipped) {
            out_.write({{QStringLiteral("record"), QStringLiteral("skipped")},
                        {QStringLiteral("line"), line}});
        }
        std::optional<PluginControlFactory::Registration> found;
        for (const auto& registration : registry_->registrations()) {
            if (!options_.library.isEmpty() || sameProgId(registration.progId, options_.progId)) {
                found = registration;
            }
        }
        if (!found) {
            return notRegistered(skipped);
        }
        progId_ = found->progId;
        library_ = found->library;
        const QJsonObject metaData = QPluginLoader(found->library).metaData();
        out_.write({{QStringLiteral("record"), QStringLiteral("library")},
                    {QStringLiteral("file"), found->library},
                    {QStringLiteral("progId"), progId_},
                    {QStringLiteral("shadows"), QJsonArray::fromStringList(found->shadowed)},
                    {QStringLiteral("metaData"), metaData.value(QLatin1String("MetaData"))},
                    {QStringLiteral("iid"), metaData.value(QLatin1String("IID"))},
                    {QStringLiteral("className"), metaData.value(QLatin1String("className"))}});
        return true;
    }

    // A ProgID that nothing serves still goes to the creation, which faults as in the shell; a
    // library that the shell would not register stops here, saying why.
    bool notRegistered(const QStringList& skipped) {
        if (options_.library.isEmpty()) {
            progId_ = options_.progId;
            out_.write({{QStringLiteral("record"), QStringLiteral("library")},
                        {QStringLiteral("progId"), progId_}});
            return true;
        }
        QString why = skipped.value(0);
        if (why.isEmpty()) {
            QPluginLoader library(options_.library);
            why = library.metaData().isEmpty()
                      ? QStringLiteral(
                            "Qt cannot read it as a plug-in (%1): the shell does not "
                            "register it")
                            .arg(unreadableReason(library))
                      : QStringLiteral(
                            "its metadata names no ProgID: the shell does not "
                            "register it");
        }
        out_.write({{QStringLiteral("record"), QStringLiteral("finding")},
                    {QStringLiteral("step"), QStringLiteral("load")},
                    {QStringLiteral("kind"), QStringLiteral("refused")},
                    {QStringLiteral("text"), why}});
        return false;
    }

    // Qt's own reason for a library whose plug-in metadata it does not accept (another Qt
    // version, say): it gives it when asked to load the library.
    static QString unreadableReason(QPluginLoader& library) {
        library.load();
        return library.errorString();
    }

    // The shell's creation of the module in a module process; a refusal (another interface,
    // another Qt, a constructor that throws) is the fault the module host sends back.
    bool create() {
        const QString name = ModuleCalls::controlName(Slot);
        return step(QStringLiteral("create"),
                    QStringLiteral("Add(%1, %2, PictureHaupt)").arg(quoted(progId_), quoted(name)),
                    ModuleCalls::createFaultSource(progId_, Slot), [&] {
                        control_ = calls_->create(Slot, progId_, pictureHaupt_.get());
                        listenTo(*control_);
                    });
    }

    // The stop of the module's process and the faults of its own code, each as the line the
    // shell logs. The shell's log finds the module of an escaped fault among its hosts; the
    // check, which has no host, takes it from the module's process directly.
    void listenTo(Extender& module) {
        QObject::connect(&module, &Extender::Stopped, [this](const Fault& fault) {
            stopped_ = true;
            finding(step_, QStringLiteral("stop"), ModuleCalls::stopFaultLine(fault, Slot));
        });
        if (auto* process = module.findChild<ModuleProcess*>()) {
            modulePid_ = static_cast<pid_t>(process->processId());
            QObject::connect(process, &ModuleProcess::ownFault, [this, &module](const Fault& f) {
                finding(step_, QStringLiteral("fault"),
                        ModuleCalls::ownCodeFaultLine(f, module.progId(), module.name()));
            });
        }
    }

    // What the host's calls reach, read from the control's meta-object: only a control in this
    // process has one. It is created here once more, read and deleted before any event runs.
    void describeMembers() {
        QWidget holder;
        QObject* control = nullptr;
        try {
            control = registry_->Add(progId_, ModuleCalls::controlName(Slot), &holder)->control();
        } catch (...) {
            return;  // the module's process has created it; its members stay unread
        }
        QJsonArray members;
        for (const ModuleCalls::Member& call : ModuleCalls::Members) {
            const QString reaches = LateBinding::memberReached(control, QLatin1String(call.name),
                                                               call.arguments, call.assignment);
            QJsonObject member{{QStringLiteral("member"), QLatin1String(call.name)},
                               {QStringLiteral("use"), QLatin1String(call.use)},
                               {QStringLiteral("reaches"), reaches}};
            if (QString why = whyNotCallable(*control, call, library_); !why.isEmpty()) {
                member.insert(QStringLiteral("why"), why);
            }
            members.append(member);
        }
        QJsonArray dispIds;
        for (const auto& [dispId, member] : LateBinding::dispIds(control)) {
            dispIds.append(QJsonObject{
                {QStringLiteral("dispId"), QStringLiteral("0x%1").arg(static_cast<uint32_t>(dispId),
                                                                      8, 16, QLatin1Char('0'))},
                {QStringLiteral("member"), member}});
        }
        QJsonArray events;
        for (const QMetaMethod& event : Extender::eventsOf(*control->metaObject())) {
            events.append(QString::fromLatin1(event.methodSignature()));
        }
        out_.write({{QStringLiteral("record"), QStringLiteral("members")},
                    {QStringLiteral("members"), members},
                    {QStringLiteral("dispIds"), dispIds},
                    {QStringLiteral("events"), events}});
    }

    void initialise() {
        step(QStringLiteral("Init"),
             QStringLiteral("Init(%1, %2, %3) = True")
                 .arg(options_.unit)
                 .arg(options_.machine)
                 .arg(quoted(options_.machineName)),
             ModuleCalls::CreateSource, [&] {
                 answered(QStringLiteral("Init"), [&] {
                     ModuleCalls::init(*control_, options_.unit, options_.machine,
                                       options_.machineName);
                 });
             });
        step(
            QStringLiteral("Refresh"), QStringLiteral("Refresh = True"), ModuleCalls::CreateSource,
            [&] { answered(QStringLiteral("Refresh"), [&] { ModuleCalls::refresh(*control_); }); });
    }

    // As the layout places a module: each assignment on its own, then the height.
    void place() {
        const QString& source = ModuleCalls::PlaceSource;
        const QString name = QStringLiteral("place");
        const auto width = static_cast<float>(pictureHaupt_->width() * twips_.x);
        step(name, QStringLiteral("Left = 0, Top = 0, Width = %1, Visible = True").arg(width),
             source, [&] {
                 attempt(name, source, [&] {
                     answered(QStringLiteral("Left"), [&] { ModuleCalls::placeLeft(*control_); });
                 });
                 attempt(name, source, [&] {
                     answered(QStringLiteral("Top"), [&] { ModuleCalls::placeTop(*control_, 0); });
                 });
                 attempt(name, source, [&] {
                     answered(QStringLiteral("Width"),
                              [&] { calls_->placeWidth(*control_, *pictureHaupt_); });
                 });
                 attempt(name, source, [&] {
                     answered(QStringLiteral("Visible"), [&] { ModuleCalls::show(*control_); });
                 });
             });
        step(QStringLiteral("AbsoluteHoehe"), QStringLiteral("read AbsoluteHoehe"), source, [&] {
            double twips = 0;
            answered(QStringLiteral("AbsoluteHoehe"),
                     [&] { twips = ModuleCalls::height(*control_); });
            out_.write({{QStringLiteral("record"), QStringLiteral("height")},
                        {QStringLiteral("twips"), twips},
                        {QStringLiteral("pixels"), twips_.toPixelsY(twips)}});
        });
    }

    // The module runs as it would on a line, its events routed meanwhile. Its height is read
    // every so often, as the layout does: a module whose own code holds its process's event loop
    // answers late, and its window stands still meanwhile. Its faults in that read were the
    // AbsoluteHoehe step's.
    void letRun() {
        step(ContainerStep::Run, QStringLiteral("events run for %1 s").arg(options_.runSeconds), {},
             [&] {
                 pictureHaupt_->show();
                 QElapsedTimer running;
                 running.start();
                 while (!stopped_ && running.elapsed() < options_.runSeconds * 1000LL) {
                     QEventLoop loop;
                     QTimer::singleShot(HeartbeatMs, &loop, &QEventLoop::quit);
                     loop.exec();
                     try {
                         answered(QStringLiteral("the layout's height read"),
                                  [&] { ModuleCalls::height(*control_); });
                     } catch (...) {
                     }
                 }
             });
    }

    // As the shell's end: the module's events are released, then it is told to terminate.
    void terminate() {
        step(QStringLiteral("Terminate"), QStringLiteral("Terminate = True"),
             ModuleCalls::EndSource, [&] {
                 isolated_->endModules();
                 control_->releaseWaitingEvents();
                 answered(QStringLiteral("Terminate"), [&] { ModuleCalls::terminate(*control_); });
                 sinks_.empty(Slot);
             });
    }

    // One step of the shell's work on the control: its record, its outcome, its end. A fault is
    // written as the fault line the shell would log under the given source string. Once the
    // module's process has been stopped its members are quiet, and no further step runs.
    template <class Work>
    bool step(const QString& name, const QString& call, const QString& source, Work&& work) {
        if (stopped_ && name != UnloadStep) {
            return false;
        }
        step_ = name;
        out_.write({{QStringLiteral("record"), QStringLiteral("step")},
                    {QStringLiteral("step"), name},
                    {QStringLiteral("call"), call}});
        stepWait_ = {};
        bool done = attempt(name, source, std::forward<Work>(work));
        if (!stopped_ && stepWait_.milliseconds > BlockLimitMs) {
            finding(name, QStringLiteral("blocked"),
                    QStringLiteral("%1 waited %2 s for its answer (more than %3 s): the module's "
                                   "own code held its process's event loop, and its window froze "
                                   "meanwhile")
                        .arg(stepWait_.member)
                        .arg(static_cast<double>(stepWait_.milliseconds) / 1000.0, 0, 'f', 1)
                        .arg(BlockLimitMs / 1000));
        }
        out_.write(
            {{QStringLiteral("record"), QStringLiteral("done")}, {QStringLiteral("step"), name}});
        return done && !stopped_;
    }

    // One call of the shell's on the module, from the module's creation to its end: how long its
    // code held the call up counts towards the step's "blocked" finding, also when it faults.
    template <class Call>
    void answered(const QString& member, Call&& call) {
        const CallWait wait(modulePid_);
        const auto keep = qScopeGuard([&] { stepWait_.keep(wait.heldMilliseconds(), member); });
        call();
    }

    template <class Work>
    bool attempt(const QString& name, const QString& source, Work&& work) {
        try {
            work();
            return true;
        } catch (...) {
            finding(name, QStringLiteral("fault"), faultLine(currentFault(), source));
            return false;
        }
    }

    void finding(const QString& name, const QString& kind, const QString& text) {
        out_.write({{QStringLiteral("record"), QStringLiteral("finding")},
                    {QStringLiteral("step"), name},
                    {QStringLiteral("kind"), kind},
                    {QStringLiteral("text"), text}});
    }

    // What the shell's event sink hands to OCXEreignis: the slot and the event, shown in a box.
    // Events from a thread of the module's own come the same way: its process hands them over.
    void routed(int16_t slot, const EventInfo& info) {
        if (info.fromOwnThread && !threadNoted_) {
            threadNoted_ = true;
            out_.write({{QStringLiteral("record"), QStringLiteral("note")},
                        {QStringLiteral("text"),
                         QStringLiteral("%1 was emitted from a thread of the module's own: the "
                                        "shell shows it on its window's thread, and the emit "
                                        "returns once its box is closed")
                             .arg(info.Name)}});
        }
        QJsonArray arguments;
        for (const QVariant& argument : info.Parameters) {
            arguments.append(jsonOf(argument));
        }
        out_.write({{QStringLiteral("record"), QStringLiteral("event")},
                    {QStringLiteral("step"), step_},
                    {QStringLiteral("slot"), slot},
                    {QStringLiteral("name"), info.Name},
                    {QStringLiteral("box"), ModuleCalls::eventBoxText(slot, info.Name)},
                    {QStringLiteral("arguments"), arguments}});
    }

    const ContainerOptions& options_;
    RecordWriter& out_;
    ScreenTwips twips_;
    std::optional<PluginControlFactory> registry_;
    QString progId_;
    QString library_;
    QString step_;
    bool stopped_ = false;
    bool threadNoted_ = false;  // the note on events from the module's own thread is written once
    pid_t modulePid_ = 0;
    LongestWait stepWait_;  // of the step that runs
    EventSinks sinks_;
    SystemClock clock_;
    std::optional<ProcessControlFactory> isolated_;
    std::optional<ModuleCalls> calls_;
    std::unique_ptr<QWidget> pictureHaupt_;
    Extender* control_ = nullptr;
};

}  // namespace

void runContainer(const ContainerOptions& options, RecordWriter& out) {
    // No window is shown: the module host, which inherits the platform, keeps the module's
    // window in its own process.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "kestrix-check";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    Container(options, out).run();
}

}  // namespace kestrix::check
