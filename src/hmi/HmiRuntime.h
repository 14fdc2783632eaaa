#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace kestrix {

// The HMI runtime as the program's windows see it. The start control starts it; it reports its
// start result once, and the runtime ended event after the stop request or when it dies. It
// reports changes of subscribed runtime variables and takes the language selection.
class HmiRuntime : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts the runtime (or connects to it); startResult follows exactly once.
    virtual void start() = 0;
    // Asks the runtime to stop; runtimeEnded follows when it has.
    virtual void requestStop() = 0;
    // From now on, changes of this variable arrive as variableChanged.
    virtual void subscribe(const QString& variable) = 0;
    // Selects the language of the HMI's texts (a Windows locale id: 1031, 1033).
    virtual void selectLanguage(int32_t localeId) = 0;

    // Once runtimeEnded has come: why the runtime ended without ending in order (it crashed, was
    // killed, exited with a status other than 0, or its connection broke), or empty when it
    // ended in order.
    const QString& deathCause() const { return deathCause_; }

Q_SIGNALS:
    void startResult(bool started);
    void runtimeEnded();
    void variableChanged(const QString& variable, const QVariant& value);

protected:
    QString deathCause_;
};

}  // namespace kestrix
