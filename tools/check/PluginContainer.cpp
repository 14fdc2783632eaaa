#include "PluginContainer.h"

#include <kestrix/ControlPlugin.h>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "host/EventInfo.h"
#include "host/EventSinks.h"
#include "host/Extender.h"
#include "host/LateBinding.h"
#include "host/PluginControlFactory.h"
#include "host/PluginSafety.h"
#include "log/Fault.h"

namespace kestrix::check {
namespace {

// The operator window's plug-in area PictureHaupt, which gives every module its width.
constexpr int PictureHauptWidthTwips = 11235;
constexpr int Slot = 1;

// The members the shell calls on every plug-in module, and how.
struct HostCall {
    const char* member;
    int arguments;
    bool assignment;
    const char* use;
};
const HostCall HostCalls[] = {
    {"Init", 3, true, "Init(unit, machine, name) = True"},
    {"Refresh", 0, true, "Refresh = True"},
    {"AbsoluteHoehe", 0, false, "read AbsoluteHoehe"},
    {"Terminate", 0, true, "Terminate = True"},
};

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
        pictureHaupt_ = std::make_unique<QWidget>();
        pictureHaupt_->resize(twips_.toPixelsX(PictureHauptWidthTwips), 600);
        if (create()) {
            describeMembers();
            initialise();
            place();
            letRun();
            terminate();
        }
        step(QStringLiteral("unload"), QStringLiteral("the window unloads the control"), {},
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
    // library that the shell would not register stops here.
    bool notRegistered(const QStringList& skipped) {
        if (options_.library.isEmpty()) {
            progId_ = options_.progId;
            out_.write({{QStringLiteral("record"), QStringLiteral("library")},
                        {QStringLiteral("progId"), progId_}});
            return true;
        }
        const QString why =
            skipped.isEmpty()
                ? QStringLiteral("its metadata names no ProgID: the shell does not register it")
                : skipped.first();
        out_.write({{QStringLiteral("record"), QStringLiteral("finding")},
                    {QStringLiteral("step"), QStringLiteral("load")},
                    {QStringLiteral("kind"), QStringLiteral("refused")},
                    {QStringLiteral("text"), why}});
        return false;
    }

    bool create() {
        const QString name = QLatin1Char('O') + QString::number(Slot);
        return step(QStringLiteral("create"),
                    QStringLiteral("Add(%1, %2, PictureHaupt)").arg(quoted(progId_), quoted(name)),
                    QStringLiteral("KX.NeuesObjekt Object:%1[%2]").arg(progId_).arg(Slot), [&] {
                        control_ = registry_->Add(progId_, name, pictureHaupt_.get());
                        // The sink holds the control before Init, as in the shell.
                        sinks_.hold(Slot, control_);
                    });
    }

    void describeMembers() {
        QObject* control = control_->control();
        QJsonArray members;
        for (const HostCall& call : HostCalls) {
            members.append(
                QJsonObject{{QStringLiteral("member"), QLatin1String(call.member)},
                            {QStringLiteral("use"), QLatin1String(call.use)},
                            {QStringLiteral("reaches"),
                             LateBinding::memberReached(control, QLatin1String(call.member),
                                                        call.arguments, call.assignment)}});
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
        const QString source = QStringLiteral("KX.NeuesObjekt");
        step(QStringLiteral("Init"),
             QStringLiteral("Init(%1, %2, %3) = True")
                 .arg(options_.unit)
                 .arg(options_.machine)
                 .arg(quoted(options_.machineName)),
             source, [&] {
                 control_->let(QStringLiteral("Init"), true,
                               {QVariant::fromValue(options_.unit),
                                QVariant::fromValue(options_.machine), options_.machineName});
             });
        step(QStringLiteral("Refresh"), QStringLiteral("Refresh = True"), source,
             [&] { control_->let(QStringLiteral("Refresh"), true); });
    }

    // As the layout places a module: each assignment on its own, then the height.
    void place() {
        const QString source = QStringLiteral("KX.PositioniereObjekte");
        const QString name = QStringLiteral("place");
        const auto width = static_cast<float>(pictureHaupt_->width() * twips_.x);
        step(name, QStringLiteral("Left = 0, Top = 0, Width = %1, Visible = True").arg(width),
             source, [&] {
                 attempt(name, source, [&] { control_->setLeft(0); });
                 attempt(name, source, [&] { control_->setTop(0); });
                 attempt(name, source, [&] { control_->setWidth(width); });
                 attempt(name, source, [&] { control_->setVisible(true); });
             });
        step(QStringLiteral("AbsoluteHoehe"), QStringLiteral("read AbsoluteHoehe"), source, [&] {
            const double twips = AbsoluteHoeheOf(*control_);
            out_.write({{QStringLiteral("record"), QStringLiteral("height")},
                        {QStringLiteral("twips"), twips},
                        {QStringLiteral("pixels"), twips_.toPixelsY(twips)}});
        });
    }

    void letRun() {
        step(ContainerStep::Run, QStringLiteral("events run for %1 s").arg(options_.runSeconds), {},
             [&] {
                 pictureHaupt_->show();
                 QEventLoop loop;
                 QTimer::singleShot(options_.runSeconds * 1000, &loop, &QEventLoop::quit);
                 loop.exec();
             });
    }

    void terminate() {
        step(QStringLiteral("Terminate"), QStringLiteral("Terminate = True"),
             QStringLiteral("KX.InternEndProgram"), [&] {
                 control_->let(QStringLiteral("Terminate"), true);
                 sinks_.empty(Slot);
             });
    }

    // One step of the shell's work on the control: its record, its outcome, its end. A fault is
    // written as the fault line the shell would log under the given source string.
    template <class Work>
    bool step(const QString& name, const QString& call, const QString& source, Work&& work) {
        step_ = name;
        out_.write({{QStringLiteral("record"), QStringLiteral("step")},
                    {QStringLiteral("step"), name},
                    {QStringLiteral("call"), call}});
        bool done = attempt(name, source, std::forward<Work>(work));
        out_.write(
            {{QStringLiteral("record"), QStringLiteral("done")}, {QStringLiteral("step"), name}});
        return done;
    }

    template <class Work>
    bool attempt(const QString& name, const QString& source, Work&& work) {
        try {
            work();
            return true;
        } catch (...) {
            finding(name, faultLine(currentFault(), source));
            return false;
        }
    }

    void finding(const QString& name, const QString& text) {
        out_.write({{QStringLiteral("record"), QStringLiteral("finding")},
                    {QStringLiteral("step"), name},
                    {QStringLiteral("text"), text}});
    }

    // What the shell's event sink hands to OCXEreignis: the slot and the event, shown in a box.
    void routed(int16_t slot, const EventInfo& info) {
        QJsonArray arguments;
        for (const QVariant& argument : info.Parameters) {
            arguments.append(jsonOf(argument));
        }
        out_.write({{QStringLiteral("record"), QStringLiteral("event")},
                    {QStringLiteral("step"), step_},
                    {QStringLiteral("slot"), slot},
                    {QStringLiteral("name"), info.Name},
                    {QStringLiteral("box"), QString::number(slot) + QLatin1Char(' ') + info.Name},
                    {QStringLiteral("arguments"), arguments}});
    }

    const ContainerOptions& options_;
    RecordWriter& out_;
    ScreenTwips twips_;
    std::optional<PluginControlFactory> registry_;
    QString progId_;
    QString step_;
    EventSinks sinks_;
    std::unique_ptr<QWidget> pictureHaupt_;
    Extender* control_ = nullptr;
};

}  // namespace

void runContainer(const ContainerOptions& options, RecordWriter& out) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "kestrix-check";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    Container(options, out).run();
}

}  // namespace kestrix::check
