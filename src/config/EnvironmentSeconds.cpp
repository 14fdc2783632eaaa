#include "config/EnvironmentSeconds.h"

#include <QByteArray>
#include <QMutex>
#include <QSet>
#include <cstdio>

namespace kestrix {
namespace {

// A variable is read as each process, call or runtime starts: its warning is given once.
bool firstWarningFor(const char* variable) {
    static QMutex mutex;
    static QSet<QByteArray> warned;
    const QMutexLocker lock(&mutex);
    const QByteArray name(variable);
    if (warned.contains(name)) {
        return false;
    }
    warned.insert(name);
    return true;
}

}  // namespace

int secondsFromEnvironment(const char* variable, int lowest, int highest, int fallback) {
    const QByteArray setting = qgetenv(variable);
    if (setting.isEmpty()) {
        return fallback;
    }
    bool isNumber = false;
    const int seconds = setting.toInt(&isNumber);
    if (isNumber && seconds >= lowest && seconds <= highest) {
        return seconds;
    }
    if (firstWarningFor(variable)) {
        std::fprintf(stderr,
                     "kestrix: $%s is no whole number of seconds from %d to %d; %d s are used\n",
                     variable, lowest, highest, fallback);
    }
    return fallback;
}

}  // namespace kestrix
