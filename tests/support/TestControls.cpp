#include "TestControls.h"

#include <stdexcept>

namespace kestrix {

QStringList CallJournal::sequence() const {
    QStringList names;
    for (const auto& call : calls) {
        names << call.control + QLatin1Char('.') + call.member;
    }
    return names;
}

std::vector<ControlCall> CallJournal::of(const QString& control) const {
    std::vector<ControlCall> own;
    for (const auto& call : calls) {
        if (call.control == control) {
            own.push_back(call);
        }
    }
    return own;
}

TestControl::TestControl(QWidget* parent) : QWidget(parent) {}

void TestControl::record(const QString& member, const QVariantList& arguments) {
    journal->calls.push_back({label, member, arguments});
}

namespace {
QVariantList initArguments(short unit, short machine, const QString& machineName, bool value) {
    return {QVariant::fromValue(unit), QVariant::fromValue(machine), machineName, value};
}
}  // namespace

void RecordingControl::Init(short unit, short machine, const QString& machineName, bool value) {
    record(QStringLiteral("Init"), initArguments(unit, machine, machineName, value));
}
void RecordingControl::Refresh(bool value) {
    record(QStringLiteral("Refresh"), {value});
}
void RecordingControl::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
}

void ControlWithoutInit::Refresh(bool value) {
    record(QStringLiteral("Refresh"), {value});
}
void ControlWithoutInit::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
}

void ControlThrowingInRefresh::Init(short unit, short machine, const QString& machineName,
                                    bool value) {
    record(QStringLiteral("Init"), initArguments(unit, machine, machineName, value));
}
void ControlThrowingInRefresh::Refresh(bool value) {
    record(QStringLiteral("Refresh"), {value});
    throw std::runtime_error("refresh failed");
}
void ControlThrowingInRefresh::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
}

void ControlFailingTerminate::Init(short unit, short machine, const QString& machineName,
                                   bool value) {
    record(QStringLiteral("Init"), initArguments(unit, machine, machineName, value));
}
void ControlFailingTerminate::Refresh(bool value) {
    record(QStringLiteral("Refresh"), {value});
}
void ControlFailingTerminate::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
    throw std::runtime_error("terminate failed");
}

void ControlWithoutAbsoluteHoehe::Init(short unit, short machine, const QString& machineName,
                                       bool value) {
    record(QStringLiteral("Init"), initArguments(unit, machine, machineName, value));
}
void ControlWithoutAbsoluteHoehe::Refresh(bool value) {
    record(QStringLiteral("Refresh"), {value});
}
void ControlWithoutAbsoluteHoehe::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
}

void ControlRaisingEventInInit::Init(short unit, short machine, const QString& machineName,
                                     bool value) {
    record(QStringLiteral("Init"), initArguments(unit, machine, machineName, value));
    emit Initialising(unit, machine);
}
void ControlRaisingEventInInit::Refresh(bool value) {
    record(QStringLiteral("Refresh"), {value});
}
void ControlRaisingEventInInit::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
}

ControlEmittingFromThread::~ControlEmittingFromThread() {
    waitForThread();
}
void ControlEmittingFromThread::raiseFromThread(int count) {
    waitForThread();
    thread_ = std::thread([this, count] {
        for (int i = 1; i <= count; ++i) {
            emit TestEvent(QString::number(i));
            ++returned;
        }
    });
}
void ControlEmittingFromThread::waitForThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}
void ControlEmittingFromThread::Terminate(bool value) {
    record(QStringLiteral("Terminate"), {value});
    waitForThread();
}

void ControlThrowingFromTimer::Init(short unit, short machine, const QString& machineName,
                                    bool value) {
    RecordingControl::Init(unit, machine, machineName, value);
    connect(&timer, &QTimer::timeout, this, [] { throw std::runtime_error("relay stuck"); });
    timer.start(10);
    QTimer::singleShot(10, this, [] { throw std::runtime_error("relay stuck once"); });
}

}  // namespace kestrix
