// Memory per closed event box: a module raises an event, the host shows its box (a real
// QMessageBox, offscreen) and a timer closes it, N times over; with "plain" the same number of
// QMessageBoxes shown and closed by a plain Qt program. Prints the growth of the resident set
// between the 500th box and the last, in KB per box; the host's figure should stay near the
// plain one, since every closed box and its event are freed.
//
//     host_event_box_memory [plain] [boxes]

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "host/ControlFactory.h"
#include "host/Extender.h"
#include "host/PluginHost.h"
#include "host/RunningProcedures.h"
#include "log/LogWriter.h"
#include "platform/Clock.h"
#include "platform/QtDialogs.h"

namespace {

// A module with one event and nothing else.
class EventModule : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void raise(int number) { emit Alarm(number); }

Q_SIGNALS:
    void Alarm(int number);
};

class EventModules final : public kestrix::ControlFactory {
public:
    kestrix::Extender* Add(const QString& progId, const QString& name,
                           QWidget* container) override {
        module = new EventModule(container);
        return new kestrix::Extender(module, progId, name, kestrix::ScreenTwips{});
    }
    bool isRegistered(const QString&) const override { return true; }

    EventModule* module = nullptr;
};

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform remarks on every box; those remarks are not what is measured.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication application(argc, argv);
    const bool plain = argc > 1 && std::strcmp(argv[1], "plain") == 0;
    const int boxes = argc > 2             ? std::atoi(argv[2])
                      : !plain && argc > 1 ? std::atoi(argv[1])
                                           : 5000;
    constexpr int WarmUp = 500;
    if (boxes <= WarmUp) {
        std::fprintf(stderr, "more than %d boxes, please\n", WarmUp);
        return 2;
    }

    // Every box that opens is closed from the event loop it runs.
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
        }
    });
    closer.start();

    kestrix::SystemClock clock;
    kestrix::LogWriter log(clock);  // no file name: nothing is written
    kestrix::QtDialogs dialogs;
    kestrix::Service service(dialogs);
    kestrix::LineSettings line;
    kestrix::RunningProcedures procedures;
    EventModules modules;
    QWidget pictureHaupt;
    kestrix::PluginHost host(log, dialogs, modules, service, line, kestrix::ScreenTwips{},
                             procedures);
    host.attach(&pictureHaupt, nullptr);
    host.NeuesObjekt(QStringLiteral("Bench.EventModule"), 1, 1, QStringLiteral("Packer 1"));

    long before = 0;
    for (int box = 1; box <= boxes; ++box) {
        if (plain) {
            QMessageBox(QMessageBox::NoIcon, QStringLiteral("Kestrix"),
                        QString::number(box) + QStringLiteral(" Alarm"))
                .exec();
        } else {
            modules.module->raise(box);
        }
        if (box == WarmUp) {
            before = residentKb();
        }
    }
    const long after = residentKb();
    std::printf("%s: %d boxes, RSS %ld KB after %d, %ld KB after %d: %.2f KB per box\n",
                plain ? "plain QMessageBox" : "module event boxes", boxes, before, WarmUp, after,
                boxes, static_cast<double>(after - before) / (boxes - WarmUp));
    return 0;
}

#include "host_event_box_memory.moc"
