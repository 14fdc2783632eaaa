#pragma once

#include <QSize>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

#include "fault/Fault.h"
#include "host/ModuleBackend.h"

namespace kestrix {

// A control elsewhere (in a process of its own, as far as its extender can tell), played by the
// test: each member call is recorded and answered with the value or the fault the test set; the
// frame's placing and restarts are recorded; the test raises the control's events, its stop and
// the operator's restart request through the backend's signals.
class ScriptedBackend final : public ModuleBackend {
public:
    struct Call {
        QString member;  // by name, or "#dispId"
        QVariant value;
        QVariantList arguments;
        bool operator==(const Call&) const = default;
    };
    struct Placing {
        QSize size;
        bool visible = false;
        bool operator==(const Placing&) const = default;
    };

    QVariant get(const QString& member) override { return answer({member, {}, {}}); }
    void let(const QString& member, const QVariant& value, const QVariantList& arguments) override {
        answer({member, value, arguments});
    }
    void letId(int dispId, const QVariant& value) override {
        answer({QStringLiteral("#%1").arg(dispId), value, {}});
    }
    QVariant callId(int dispId, const QVariantList& arguments) override {
        return answer({QStringLiteral("#%1").arg(dispId), {}, arguments});
    }
    void place(QSize size, bool visible) override { placings.push_back({size, visible}); }
    void restart() override { ++restarts; }
    void releaseWaitingEvents() override { released = true; }
    qint64 processId() const override { return 4242; }

    // What the next call answers: a value, or a fault raised in the control's code.
    QVariant nextAnswer;
    std::optional<Fault> nextFault;

    std::vector<Call> calls;
    std::vector<Placing> placings;
    int restarts = 0;
    bool released = false;

private:
    QVariant answer(Call call) {
        calls.push_back(std::move(call));
        if (nextFault) {
            throw *nextFault;
        }
        return nextAnswer;
    }
};

}  // namespace kestrix
