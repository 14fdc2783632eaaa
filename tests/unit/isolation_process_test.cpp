// The shell's side of a module's process, driven through a socket pair by a module scripted in the
// test. A module's process is a peer the shell does not trust: whatever hostile bytes it writes to
// its channel (lists nested a hundred thousand deep, a value of a foreign type, oversized texts, a
// body shorter or longer than its fields, noise, a flood of valid messages, a frame cut off by its
// end), the shell stops that module once, with the cause, and its memory stays bounded. A call's
// answer limit measures the module's silence, not another module's open box; the life check
// stops a module that hangs between calls, and not one that runs on.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FaultOf.h"
#include "FixedClock.h"
#include "ScriptedModule.h"
#include "TestApplication.h"
#include "WaitUntil.h"
#include "host/Extender.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "isolation/ModuleFrame.h"
#include "isolation/ModuleStop.h"
#include "isolation/ProcessControl.h"
#include "isolation/ProcessControlFactory.h"

namespace kestrix {
namespace {

// The process's resident memory in KB.
qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

// The channel's own form, written by hand as a hostile module would: length, kind, number, fields.
enum Kind : uint8_t { Answer = 9, Event = 11, Alive = 16 };
enum Tag : uint8_t { Int = 2, Text = 7, List = 9 };

void put32(std::string& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((value >> shift) & 0xff);
    }
}

void putText(std::string& bytes, const std::string& text) {
    put32(bytes, static_cast<uint32_t>(text.size()));
    bytes += text;
}

std::string frame(uint8_t kind, uint32_t number, const std::string& fields) {
    std::string bytes;
    put32(bytes, static_cast<uint32_t>(5 + fields.size()));
    bytes += static_cast<char>(kind);
    put32(bytes, number);
    return bytes + fields;
}

std::string randomBytes(std::mt19937& random, size_t count) {
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

// An event "Hostile" whose one parameter is what follows.
std::string eventWith(const std::string& parameter) {
    std::string fields;
    putText(fields, "Hostile");
    put32(fields, 1);
    return frame(Event, 1, fields + parameter);
}

// What a hostile module writes in one form; a flood repeats it until the shell cuts it off.
std::string hostileBytes(const std::string& form, std::mt19937& random) {
    if (form == "nesting") {
        // Lists inside lists, a hundred thousand deep.
        std::string nested;
        for (int depth = 0; depth < 100000; ++depth) {
            nested += static_cast<char>(List);
            put32(nested, 1);
        }
        return eventWith(nested);
    }
    if (form == "foreign") {
        // A value of a type the channel does not carry (an image, say), with its bytes.
        return eventWith(static_cast<char>(0x40 + random() % 0x40) + randomBytes(random, 4096));
    }
    if (form == "oversized") {
        // An event name of four million characters, or a text value beyond its bound.
        if (random() % 2 == 0) {
            std::string fields;
            putText(fields, std::string(4'000'000, 'x'));
            put32(fields, 0);
            return frame(Event, 1, fields);
        }
        std::string value(1, static_cast<char>(Text));
        putText(value, std::string(200'000 + random() % 100'000, 'y'));
        return eventWith(value);
    }
    if (form == "short") {
        // An answer that counts more values than it holds.
        std::string fields;
        put32(fields, 5);
        fields += static_cast<char>(Int);
        put32(fields, 42);
        return frame(Answer, 1, fields);
    }
    if (form == "long") {
        // A whole answer, then bytes after it inside the frame.
        std::string fields;
        put32(fields, 1);
        fields += static_cast<char>(Int);
        put32(fields, 42);
        return frame(Answer, 1, fields + randomBytes(random, 1 + random() % 64));
    }
    if (form == "garbage") {
        // Sixteen megabytes of noise.
        return randomBytes(random, 16u << 20);
    }
    if (form == "flood") {
        // Valid messages, as fast as the channel takes them.
        std::string burst;
        for (int i = 0; i < 1000; ++i) {
            burst += frame(Alive, 0, "");
        }
        return burst;
    }
    // "truncated": the start of an event, then the end of the process.
    const std::string whole = eventWith(std::string(1, static_cast<char>(Int)) + "\0\0\0\1");
    return whole.substr(0, whole.size() - 1 - random() % 4);
}

// Writes until all is written or the shell has shut its end; false then.
bool writeAll(int descriptor, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written =
            ::send(descriptor, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

TEST(HostileModule, EachFormOfHostileBytesStopsItsModuleOnceWithTheCauseInBoundedMemory) {
    ensureApplication();
    const QString unreadable = ModuleStop::Unreadable;
    const QString flooded = ModuleStop::flooded(ModuleProcess::MaxMessagesPerSecond);
    std::vector<std::pair<std::string, QString>> forms = {
        {"nesting", unreadable}, {"foreign", unreadable},  {"oversized", unreadable},
        {"short", unreadable},   {"long", unreadable},     {"garbage", unreadable},
        {"flood", flooded},      {"truncated", unreadable}};
    [[maybe_unused]] const qint64 before = residentKb();
    for (quint32 seed = 1; seed <= 2; ++seed) {
        QRandomGenerator shuffling(seed);
        std::shuffle(forms.begin(), forms.end(), shuffling);
        for (const auto& [form, cause] : forms) {
            SCOPED_TRACE(form + ", seed " + std::to_string(seed));
            ScriptedModule module;
            QStringList stops;
            QObject::connect(module.process.get(), &ModuleProcess::stopped,
                             [&](const QString& why) { stops.append(why); });
            std::atomic<bool> written{false};
            // The module writes from a thread of its own, as a process would: the shell reads it
            // in its event loop meanwhile, within its bounds.
            std::thread writer([&, form = form, descriptor = module.peerEnd] {
                std::mt19937 random(seed);
                const std::string bytes = hostileBytes(form, random);
                while (writeAll(descriptor, bytes) && form == "flood") {
                }
                written = true;
            });
            if (form == "truncated") {
                ASSERT_TRUE(runEventsUntil([&] { return written.load(); }, 20000));
                module.endProcess();
            }
            const bool stoppedInTime = runEventsUntil([&] { return !stops.isEmpty(); }, 20000);
            if (!stoppedInTime) {
                ::shutdown(module.peerEnd, SHUT_RDWR);
            }
            writer.join();
            ASSERT_TRUE(stoppedInTime);
            runEventsUntil([] { return false; }, 100);  // no second stop follows
            EXPECT_EQ(stops, QStringList{cause});
            // Its group is ended, TERM first, unless it has ended by itself.
            EXPECT_EQ(module.child->signalsSent,
                      form == "truncated" ? std::vector<int>{} : std::vector<int>{SIGTERM});
        }
    }
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer's quarantine keeps freed memory; a plain build shows what the shell holds.
    EXPECT_LT(residentKb() - before, 64 * 1024);
#endif
}

// A call's answer that has come while another module's box is open can be taken only when that box
// closes: the module answered in time and is not stopped, however long the operator reads.
TEST(ModuleAnswerLimit, AnAnswerHeldUpByAnotherModulesOpenBoxDoesNotStopItsModule) {
    ensureApplication();
    qputenv(ModuleProcess::AnswerLimitVariable, "1");
    ScriptedModule answering;
    ScriptedModule raising;
    qunsetenv(ModuleProcess::AnswerLimitVariable);
    // As the call arrives, the other module raises its event; the answer follows once its box is
    // open.
    std::optional<uint32_t> call;
    answering.answerBy([&](ScriptedModule&, const ModuleMessage& message) {
        call = message.number;
        Message::Event event;
        event.name = QStringLiteral("RefillRequested");
        raising.peer->send(event.frame(1));
    });
    raising.answerBy([](ScriptedModule&, const ModuleMessage&) {});
    QStringList stops;
    QObject::connect(answering.process.get(), &ModuleProcess::stopped,
                     [&](const QString& why) { stops << why; });
    bool boxShown = false;
    // The other module's box stays open for more than two answer limits after the answer.
    QObject::connect(raising.process.get(), &ModuleProcess::eventRaised, [&](const EventInfo&) {
        boxShown = true;
        answering.peer->send(Message::Answer().frame(call.value_or(0)));
        runEventsUntil([] { return false; }, 2500);
    });
    Message::Get get;
    get.member = QStringLiteral("AbsoluteHoehe");
    const std::optional<QVariantList> answer =
        answering.process->call(get.frame(), QStringLiteral("AbsoluteHoehe"));
    EXPECT_TRUE(boxShown);
    EXPECT_TRUE(answer.has_value());
    EXPECT_EQ(stops, QStringList());
}

// A module's process through random turns of its life (calls, events, a stop, the release, the
// end, the process's own end): a stop is reported once and never after the end began, its group
// gets TERM first; the end is reported when the process has ended; once released, its events are
// answered without being shown; a stopped or ending one takes no more calls.
TEST(ModuleProcessLife, EachTurnOfItsLifeIsReportedOnceAndInTheRightState) {
    ensureApplication();
    QRandomGenerator random(26);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        ScriptedModule module;
        ModuleProcess& process = *module.process;
        int eventsDone = 0;
        module.answerBy([&](ScriptedModule& scripted, const ModuleMessage& message) {
            if (message.kind == ModuleMessage::Kind::EventDone) {
                ++eventsDone;
            } else if (message.kind == ModuleMessage::Kind::Get) {
                Message::Answer answer;
                answer.values = {static_cast<int>(message.number)};
                scripted.peer->send(answer.frame(message.number));
            }
        });
        QStringList stops;
        int shown = 0;
        int ends = 0;
        QObject::connect(&process, &ModuleProcess::stopped,
                         [&](const QString& why) { stops << why; });
        QObject::connect(&process, &ModuleProcess::eventRaised, [&](const EventInfo&) { ++shown; });
        QObject::connect(&process, &ModuleProcess::ended, [&] { ++ends; });
        bool released = false;
        bool ending = false;
        bool stopped = false;
        bool processEnded = false;
        bool reported = false;
        for (int turn = 0; turn < 8; ++turn) {
            switch (random.bounded(6)) {
                case 0: {  // a call
                    Message::Get get;
                    get.member = QStringLiteral("Wert");
                    const std::optional<QVariantList> answer = process.call(get.frame(), "Wert");
                    EXPECT_EQ(answer.has_value(), !stopped && !ending);
                    break;
                }
                case 1: {  // an event of the module
                    if (stopped || processEnded) {
                        break;
                    }
                    const int shownBefore = shown;
                    const int doneBefore = eventsDone;
                    Message::Event event;
                    event.name = QStringLiteral("RefillRequested");
                    module.peer->send(event.frame(static_cast<uint32_t>(100 + turn)));
                    ASSERT_TRUE(runEventsUntil([&] { return eventsDone > doneBefore; }, 20000));
                    EXPECT_EQ(shown - shownBefore, released || ending ? 0 : 1);
                    break;
                }
                case 2:
                    process.stop(QStringLiteral("restarted"));
                    if (!stopped && !processEnded) {
                        EXPECT_EQ(module.child->signalsSent.front(), SIGTERM);
                        reported = reported || !ending;
                    }
                    stopped = stopped || !processEnded;
                    break;
                case 3:
                    process.releaseEvents();
                    released = true;
                    break;
                case 4:
                    process.end();
                    ending = ending || !stopped;
                    break;
                default:
                    if (!processEnded) {
                        module.endProcess();
                        EXPECT_EQ(ends, 1);
                        if (!stopped && !ending) {
                            EXPECT_EQ(stops.value(0),
                                      QStringLiteral("its process ended with exit status 0"));
                            reported = true;
                        }
                        stopped = stopped || !ending;
                        processEnded = true;
                    }
                    break;
            }
            // A stop is reported once, and only when it came before the end began.
            EXPECT_EQ(stops.size(), reported ? 1 : 0);
            EXPECT_EQ(process.isStopped(), stopped || processEnded);
        }
        EXPECT_EQ(ends, processEnded ? 1 : 0);
    }
}

// A module host that cannot be started stops its module with the cause, told from the event loop
// once the shell listens.
TEST(ModuleProcessLife, AProgramThatCannotStartStopsItsModuleWithTheCause) {
    ensureApplication();
    const std::unique_ptr<ModuleProcess> process =
        ModuleProcess::start(QStringLiteral("/nonexistent/kestrix-module"));
    QStringList stops;
    QObject::connect(process.get(), &ModuleProcess::stopped,
                     [&](const QString& why) { stops << why; });
    ASSERT_TRUE(runEventsUntil([&] { return !stops.isEmpty(); }, 20000));
    EXPECT_TRUE(stops.value(0).startsWith(
        QStringLiteral("its program /nonexistent/kestrix-module could not be started: ")))
        << stops.value(0).toStdString();
    EXPECT_TRUE(process->isStopped());
}

// One module of the operator window whose process the test scripts: its frame, its control and its
// extender, as the process factory makes them.
struct ScriptedSlot {
    ScriptedSlot(ProcessControlFactory& factory, const Clock& clock, const QString& progId,
                 const QString& name, QWidget& container, bool answersLifeChecks) {
        auto* frame = new ModuleFrame(&container);
        frame->setObjectName(name);
        auto* control = new ProcessControl(factory, QStringLiteral("scripted.so"), progId, name,
                                           frame, ScreenTwips{}, clock);
        module.answerBy([answersLifeChecks](ScriptedModule& scripted, const ModuleMessage& m) {
            if (m.kind == ModuleMessage::Kind::Ping) {
                if (answersLifeChecks) {
                    scripted.peer->send(Message::Alive().frame(m.number));
                }
            } else if (m.kind == ModuleMessage::Kind::Create) {
                Message::Answer created;
                created.values = {400, 120};
                scripted.peer->send(created.frame(m.number));
            } else if (m.kind != ModuleMessage::Kind::Place) {
                scripted.peer->send(Message::Answer().frame(m.number));
            }
        });
        control->create(module.process.release());
        extender = new Extender(frame, control, progId, name, ScreenTwips{});
    }

    ScriptedModule module;
    Extender* extender = nullptr;
};

TEST(ModuleLifeCheck, AModuleThatHangsBetweenCallsIsStoppedAndARunningOneIsNot) {
    ensureApplication();
    qputenv(ModuleProcess::AnswerLimitVariable, "1");
    PluginControlFactory registry({}, ScreenTwips{});
    const FixedClock clock({2026, 12, 8, 9, 14, 3});
    ProcessControlFactory processes(registry, QStringLiteral("/nonexistent"), ScreenTwips{}, clock,
                                    0);
    QWidget pictureHaupt;
    ScriptedSlot hanging(processes, clock, QStringLiteral("XKX_StampInspection.Stamp"),
                         QStringLiteral("O1"), pictureHaupt, false);
    ScriptedSlot running(processes, clock, QStringLiteral("XKX_DirtyFilterKeyence.DirtyFilter"),
                         QStringLiteral("O2"), pictureHaupt, true);
    qunsetenv(ModuleProcess::AnswerLimitVariable);
    std::optional<Fault> hangingStop;
    std::optional<Fault> runningStop;
    QObject::connect(hanging.extender, &Extender::stopped,
                     [&](const Fault& fault) { hangingStop = fault; });
    QObject::connect(running.extender, &Extender::stopped,
                     [&](const Fault& fault) { runningStop = fault; });
    ModuleCalls::init(*hanging.extender, 2, 3, QStringLiteral("Packer S\u00fcd"));
    ModuleCalls::init(*running.extender, 1, 1, QStringLiteral("Packer"));

    ASSERT_TRUE(runEventsUntil([&] { return hangingStop.has_value(); }, 10000));
    EXPECT_EQ(hangingStop->description(),
              QStringLiteral("the module in slot 1 stopped: did not answer the shell's life "
                             "check within 1 s"));
    const auto panelText = [&](const char* frame, const char* label) {
        return pictureHaupt.findChild<QWidget*>(QLatin1String(frame))
            ->findChild<QLabel*>(QLatin1String(label))
            ->text();
    };
    EXPECT_EQ(panelText("O1", "stoppedUnit"), QStringLiteral("Unit 2 stopped"));
    EXPECT_EQ(panelText("O1", "stoppedMachine"), QStringLiteral("Machine 3  Packer S\u00fcd"));
    EXPECT_EQ(panelText("O1", "stoppedWhen"),
              QStringLiteral("Stopped at 09:14:03 on 12.08.26. \"Restart\" starts it again."));
    EXPECT_EQ(panelText("O1", "stoppedCause"),
              QStringLiteral("XKX_StampInspection.Stamp: did not answer the shell's life check "
                             "within 1 s"));
    auto* frame = pictureHaupt.findChild<QWidget*>(QStringLiteral("O1"));
    const auto* panel = frame->findChild<QWidget*>(QStringLiteral("stoppedPanel"));
    EXPECT_TRUE(panel->isVisibleTo(frame));
    EXPECT_EQ(panel->findChild<QPushButton*>()->text(), QStringLiteral("Restart"));
    EXPECT_EQ(hanging.module.child->signalsSent.front(), SIGTERM);

    runEventsUntil([] { return false; }, 1500);
    EXPECT_FALSE(runningStop.has_value()) << runningStop->description().toStdString();
    auto* runningFrame = pictureHaupt.findChild<QWidget*>(QStringLiteral("O2"));
    EXPECT_FALSE(runningFrame->findChild<QWidget*>(QStringLiteral("stoppedPanel"))
                     ->isVisibleTo(runningFrame));
}

// The window may let a module go while its process creates it: the creation ends with Object not
// set (91), and nothing of the module is touched after it went (the sanitizer build would see it).
TEST(ModuleCreation, AModuleLetGoWhileItsProcessCreatesItEndsTheCreationWithObjectNotSet) {
    ensureApplication();
    PluginControlFactory registry({}, ScreenTwips{});
    const FixedClock clock({2026, 12, 8, 9, 14, 3});
    ProcessControlFactory processes(registry, QStringLiteral("/nonexistent"), ScreenTwips{}, clock,
                                    0);
    auto* frame = new ModuleFrame(nullptr);
    auto* control =
        new ProcessControl(processes, QStringLiteral("scripted.so"), QStringLiteral("XKX_OCR.OCR"),
                           QStringLiteral("O1"), frame, ScreenTwips{}, clock);
    new Extender(frame, control, QStringLiteral("XKX_OCR.OCR"), QStringLiteral("O1"),
                 ScreenTwips{});
    ScriptedModule module;
    module.answerBy([frame](ScriptedModule&, const ModuleMessage& message) {
        if (message.kind == ModuleMessage::Kind::Create) {
            frame->deleteLater();  // never answered: the module goes while it waits
        }
    });
    EXPECT_EQ(faultOf([&] { control->create(module.process.release()); }).number(),
              ErrorNumber::ObjectNotSet);
}

}  // namespace
}  // namespace kestrix
