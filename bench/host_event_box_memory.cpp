// Memory per closed event box: with "modules" a module raises an event, the host shows its box (a
// real QMessageBox, offscreen) and a timer closes it, N times over; with "plain" the same number
// of QMessageBoxes shown and closed by a plain Qt program. Each prints the growth of the resident
// set between the 500th box and the last, in KB per box. Without either the program runs both,
// each in a process of its own, and holds the host's figure against the plain one: every closed
// box and its event are freed, so it may exceed it by at most 0.5 KB per box.
//
// With "storm", 20 modules raise an event every 50 ms each from fresh timers while boxes are
// closed every 5 ms, half as fast as they come: the boxes nest, and the figure shows what the
// nesting costs; with "plain storm" the same events open plain boxes without a bound, which nest
// until the program fails.
//
// With "flow", the steady flow of a line: 20 modules raise one event a second each (each from a
// timer of its own, as a module would) while the operator closes one box a second, for the given
// seconds (600 by default). It prints the growth of the resident set from the end of the first
// minute to the end, in MB per hour, and holds it against the target.
//
//     host_event_box_memory [modules|plain] [storm] [boxes]
//     host_event_box_memory flow [seconds]

#include <malloc.h>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_self_run.h"
#include "bench_verdict.h"
#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "host/ControlFactory.h"
#include "host/Extender.h"
#include "host/InProcessControl.h"
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
        return kestrix::InProcessControl::extend(module, progId, name, kestrix::ScreenTwips{});
    }
    bool isRegistered(const QString&) const override { return true; }

    EventModule* module = nullptr;
};

constexpr double TargetKbPerBoxOverPlain = 0.5;

// Runs this program again for one side and returns the line it printed and its KB per box.
bool measureInAnotherRun(const std::string& arguments, std::string& line, double& kbPerBox) {
    const auto output = kestrix::bench::outputOfSelfRun(arguments);
    const std::size_t figure = output ? output->rfind(": ") : std::string::npos;
    if (figure == std::string::npos) {
        return false;
    }
    line = output->substr(0, output->find('\n'));
    char* end = nullptr;
    kbPerBox = std::strtod(output->c_str() + figure + 2, &end);
    return end != output->c_str() + figure + 2;
}

// Both sides, and the verdict. Under a storm plain boxes nest without bound until the program
// fails, so there is no plain figure to subtract: the host's own growth is held against the target.
int compareWithPlainBoxes(const std::string& options) {
    std::string moduleLine;
    std::string plainLine;
    double module = 0;
    double plain = 0;
    if (!measureInAnotherRun("modules" + options, moduleLine, module)) {
        std::fprintf(stderr, "the measuring run of the module boxes failed\n");
        return 1;
    }
    std::printf("%s\n", moduleLine.c_str());
    const bool storm = options.find("storm") != std::string::npos;
    if (measureInAnotherRun("plain" + options, plainLine, plain)) {
        std::printf("%s\n", plainLine.c_str());
    } else if (storm) {
        std::printf("plain QMessageBox storm: failed, its boxes nested without bound\n");
        plain = 0;
    } else {
        std::fprintf(stderr, "the measuring run of the plain boxes failed\n");
        return 1;
    }
    kestrix::bench::printVerdict(storm
                                     ? "module event boxes in a storm: RSS growth per closed box"
                                     : "module event boxes: RSS growth per box beyond plain boxes",
                                 module - plain, " KB", TargetKbPerBoxOverPlain);
    return 0;
}

// A figure of /proc/self/status in KB: VmRSS, the resident set, or one of its parts (RssAnon,
// RssFile, RssShmem).
long residentKb(const QByteArray& figure = "VmRSS") {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(figure + ':')) {
            return line.mid(figure.size() + 1).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

constexpr double TargetMbPerHourOfFlow = 0.5;

// The memory figures of one moment of the flow.
struct FlowSample {
    long rssKb = 0;
    long anonymousKb = 0;
    long sharedKb = 0;
    long heapKb = 0;  // the bytes malloc has handed out and not yet got back

    static FlowSample now() {
        return {residentKb(), residentKb("RssAnon"), residentKb("RssShmem"),
                static_cast<long>(mallinfo2().uordblks / 1024)};
    }
};

// The steady flow: see the head of this file. Both samples are taken while the flow runs: leaving
// the nested boxes at the end lets every waiting event show its box at once, which is not the flow.
int measureFlow(QApplication& application, const std::vector<EventModule*>& modules, int seconds) {
    constexpr int FirstMinute = 60;
    int raised = 0;
    int closed = 0;
    std::vector<std::unique_ptr<QTimer>> timers;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(1000);
        EventModule* module = modules[i];
        QObject::connect(timer.get(), &QTimer::timeout, module,
                         [&raised, module] { module->raise(++raised); });
        // Spread over the second, as independent modules would be.
        QTimer::singleShot(static_cast<int>(50 * i), timer.get(), qOverload<>(&QTimer::start));
        timers.push_back(std::move(timer));
    }
    QTimer closer;
    closer.setInterval(1000);
    QObject::connect(&closer, &QTimer::timeout, [&closed] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
            ++closed;
        }
    });
    closer.start();
    FlowSample before;
    FlowSample after;
    int loopsAtEnd = 0;
    QTimer::singleShot(FirstMinute * 1000, [&] { before = FlowSample::now(); });
    QTimer::singleShot(seconds * 1000, &application, [&] {
        after = FlowSample::now();
        loopsAtEnd = QThread::currentThread()->loopLevel();
        for (auto& timer : timers) {
            timer->stop();
        }
        application.exit();
    });
    application.exec();
    const double hours = (seconds - FirstMinute) / 3600.0;
    auto perHour = [hours](long kb) { return static_cast<double>(kb) / 1024.0 / hours; };
    const double mbPerHour = perHour(after.rssKb - before.rssKb);
    std::printf(
        "module event flow: %d events, %d boxes closed in %d s, %d event loops running at the "
        "end; RSS %ld KB after %d s, %ld KB at the end (anonymous %+ld KB, shared %+ld KB, "
        "heap in use %+ld KB = %.2f MB per hour): %.2f MB per hour\n",
        raised, closed, seconds, loopsAtEnd, before.rssKb, FirstMinute, after.rssKb,
        after.anonymousKb - before.anonymousKb, after.sharedKb - before.sharedKb,
        after.heapKb - before.heapKb, perHour(after.heapKb - before.heapKb), mbPerHour);
    kestrix::bench::printVerdict("module event flow, one box closed a second: RSS growth per hour",
                                 mbPerHour, " MB", TargetMbPerHourOfFlow);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool oneSide = false;
    std::string options;
    for (int i = 1; i < argc; ++i) {
        const bool side =
            std::strcmp(argv[i], "plain") == 0 || std::strcmp(argv[i], "modules") == 0;
        oneSide = oneSide || side;
        options += side ? std::string() : std::string(" ") + argv[i];
    }
    const bool flow = argc > 1 && std::strcmp(argv[1], "flow") == 0;
    if (!oneSide && !flow) {
        return compareWithPlainBoxes(options);
    }
    // Offscreen unless told otherwise (QT_QPA_PLATFORM=xcb under an X server measures the line's
    // own platform).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The offscreen platform remarks on every box; those remarks are not what is measured.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication application(argc, argv);
    bool plain = false;
    bool storm = false;
    int boxes = flow ? 600 : 5000;
    for (int i = 1; i < argc; ++i) {
        plain = plain || std::strcmp(argv[i], "plain") == 0;
        storm = storm || std::strcmp(argv[i], "storm") == 0;
        boxes = std::atoi(argv[i]) > 0 ? std::atoi(argv[i]) : boxes;
    }
    constexpr int WarmUp = 500;
    if (flow && boxes <= 60) {
        std::fprintf(stderr, "more than 60 seconds, please\n");
        return 2;
    }
    if (!flow && boxes <= WarmUp) {
        std::fprintf(stderr, "more than %d boxes, please\n", WarmUp);
        return 2;
    }

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
    const int moduleCount = storm || flow ? 20 : 1;
    std::vector<EventModule*> storming;
    for (int slot = 1; slot <= moduleCount; ++slot) {
        host.NeuesObjekt(QStringLiteral("Bench.EventModule"), 1, 1, QStringLiteral("Packer 1"));
        storming.push_back(modules.module);
    }
    if (flow) {
        return measureFlow(application, storming, boxes);
    }

    // Every box that opens is closed from the event loop it runs.
    int closed = 0;
    QTimer closer;
    closer.setInterval(storm ? 5 : 0);
    QObject::connect(&closer, &QTimer::timeout, [&closed] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
            ++closed;
        }
    });
    closer.start();

    if (storm) {
        long before = 0;
        long after = 0;
        int raised = 0;
        int open = 0;
        int deepest = 0;
        bool going = true;
        std::function<void(EventModule*)> next = [&](EventModule* module) {
            QTimer::singleShot(50, module, [&, module] {
                if (!going) {
                    return;
                }
                next(module);
                deepest = std::max(deepest, ++open);
                if (plain) {
                    QMessageBox(QMessageBox::NoIcon, QStringLiteral("Kestrix"),
                                QString::number(++raised) + QStringLiteral(" Alarm"))
                        .exec();
                } else {
                    module->raise(++raised);
                }
                --open;
            });
        };
        for (EventModule* module : storming) {
            next(module);
        }
        QTimer sampler;
        sampler.setInterval(10);
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (before == 0 && closed >= WarmUp) {
                before = residentKb();
            }
            // Measured before the exit: leaving the nested boxes shows every waiting box at once.
            if (closed >= boxes) {
                after = residentKb();
                going = false;
                application.exit();
            }
        });
        sampler.start();
        application.exec();
        std::printf(
            "%s storm: %d events, %d boxes closed, %d deepest nesting, RSS %ld KB after %d, "
            "%ld KB after %d: %.2f KB per closed box\n",
            plain ? "plain QMessageBox" : "module event", raised, closed, deepest, before, WarmUp,
            after, closed, static_cast<double>(after - before) / (closed - WarmUp));
        return 0;
    }

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
