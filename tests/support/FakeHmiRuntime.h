#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

#include "hmi/HmiRuntime.h"

namespace kestrix {

// A runtime for tests: it records what the program asks of it and raises the runtime's events
// when the test says so.
class FakeHmiRuntime : public HmiRuntime {
public:
    using HmiRuntime::HmiRuntime;

    int startCount = 0;
    int stopRequests = 0;
    QStringList subscriptions;
    QList<int32_t> languagesSelected;
    // What the runtime does on a stop request besides counting it (nothing: it ignores it).
    std::function<void()> onStopRequest;

    void start() override { ++startCount; }
    void requestStop() override {
        ++stopRequests;
        if (onStopRequest) {
            onStopRequest();
        }
    }
    void subscribe(const QString& variable) override { subscriptions.append(variable); }
    void selectLanguage(int32_t localeId) override { languagesSelected.append(localeId); }

    void finishStart(bool started) { emit startResult(started); }
    void endRuntime() { emit runtimeEnded(); }
    void dieRuntime(const QString& why) {
        deathCause_ = why;
        emit runtimeEnded();
    }
    void changeVariable(const QString& variable, const QVariant& value) {
        emit variableChanged(variable, value);
    }
};

}  // namespace kestrix
