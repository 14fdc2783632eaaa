#include "hmi/server/Journal.h"

#include <QFile>
#include <utility>

namespace kestrix {

Journal::Journal(QString path) : path_(std::move(path)) {}

void Journal::write(const QString& line) {
    QFile file(path_);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Append) &&
                   file.write(line.toUtf8() + '\n') >= 0 && file.flush();
    if (!written && !failureReported_) {
        // Said once: the runtime works on without its record.
        failureReported_ = true;
        qWarning("kestrix-hmi: cannot write the journal %s: %s", qPrintable(path_),
                 qPrintable(file.errorString()));
    }
}

}  // namespace kestrix
