#include "hmi/server/Journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kestrix {

namespace {

// Never through a symbolic link (that could point at any file of the user's), never blocking
// on a pipe; readable by the user alone.
int openJournal(const QString& path) {
    return ::open(QFile::encodeName(path).constData(),
                  O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
}

// The journal's newer half (of its limit), from the first line that starts in it, put in its
// place: a new file of the user's alone renamed over the journal, so that a reader sees the old
// or the new one whole. False when it could not be done; the journal is then left as it is.
bool keepNewerHalf(int journal, qint64 size, qint64 limit, const QString& path) {
    const qint64 kept = std::min(size, limit / 2);
    QByteArray text(kept, Qt::Uninitialized);
    if (::pread(journal, text.data(), static_cast<size_t>(kept), size - kept) != kept) {
        return false;
    }
    const QByteArray newer = text.mid(text.indexOf('\n') + 1);
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int copy = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (copy < 0) {
        return false;
    }
    const bool written =
        ::write(copy, newer.constData(), static_cast<size_t>(newer.size())) == newer.size();
    ::close(copy);
    if (!written || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

}  // namespace

Journal::Journal(QString path, qint64 limitBytes)
    : path_(std::move(path)), limitBytes_(limitBytes) {}

void Journal::write(const QString& line) {
    const QByteArray text = line.toUtf8() + '\n';
    int file = openJournal(path_);
    int error = errno;
    bool written = false;
    struct stat status {};
    if (file >= 0 && (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode))) {
        error = EINVAL;  // no plain file: nothing is written to a pipe or a device
        ::close(file);
        file = -1;
    }
    if (file >= 0 && status.st_size + text.size() > limitBytes_ &&
        keepNewerHalf(file, status.st_size, limitBytes_, path_)) {
        ::close(file);
        file = openJournal(path_);
        error = errno;
    }
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
