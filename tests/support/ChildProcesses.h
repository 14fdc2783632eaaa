#pragma once

#include <sys/types.h>

#include <QDir>
#include <QFile>
#include <vector>

namespace kestrix {

// The processes this process started that still run, read from /proc: the children of each of
// its threads, without those that have ended and wait to be reaped.
inline std::vector<pid_t> runningChildren() {
    std::vector<pid_t> pids;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/self/task/%1/children").arg(task));
        if (!children.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& pid : children.readAll().simplified().split(' ')) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
            if (!pid.isEmpty() && stat.open(QIODevice::ReadOnly) &&
                !stat.readAll().split(')').value(1).trimmed().startsWith('Z')) {
                pids.push_back(static_cast<pid_t>(pid.toInt()));
            }
        }
    }
    return pids;
}

}  // namespace kestrix
