#include "hmi/server/Journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kestrix {

Journal::Journal(QString path) : path_(std::move(path)) {}

void Journal::write(const QString& line) {
    // Never through a symbolic link (that could point at any file of the user's), never blocking
    // on a pipe; readable by the user alone.
    const QByteArray text = line.toUtf8() + '\n';
    const int file =
        ::open(QFile::encodeName(path_).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    bool written = false;
    int error = errno;
    if (file >= 0) {
        written = ::write(file, text.constData(), static_cast<size_t>(text.size())) == text.size();
        error = errno;
        ::close(file);
    }
    if (!written && !failureReported_) {
        // Said once: the runtime works on without its record.
        failureReported_ = true;
        qWarning("kestrix-hmi: cannot write the journal %s: %s", qPrintable(path_),
                 std::strerror(error));
    }
}

}  // namespace kestrix
