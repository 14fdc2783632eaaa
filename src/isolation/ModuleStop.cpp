#include "isolation/ModuleStop.h"

#include <cstring>

namespace kestrix::ModuleStop {

QString processEnded(int code, bool bySignal) {
    if (bySignal) {
        return QStringLiteral("its process ended on signal %1 (%2)")
            .arg(code)
            .arg(QString::fromLocal8Bit(strsignal(code)));
    }
    return QStringLiteral("its process ended with exit status %1").arg(code);
}

QString unanswered(const QString& member, int seconds) {
    return QStringLiteral("did not answer %1 within %2 s").arg(member).arg(seconds);
}

QString flooded(int messagesPerSecond) {
    return QStringLiteral("its process sent more than %1 messages within a second")
        .arg(messagesPerSecond);
}

QString noChannel(int error) {
    return QStringLiteral("its channel could not be made: %1")
        .arg(QString::fromLocal8Bit(strerror(error)));
}

Fault fault(const QString& controlName, const QString& progId, const QString& cause) {
    return Fault(ErrorNumber::AutomationError,
                 QStringLiteral("the module in slot %1 stopped: %2").arg(controlName.mid(1), cause),
                 progId);
}

}  // namespace kestrix::ModuleStop
