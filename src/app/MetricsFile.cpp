#include "app/MetricsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files/OpenFile.h"
#include "journal/Notices.h"

namespace kestrix {

MetricsFile::MetricsFile(QString folder) : folder_(std::move(folder)) {}

QString MetricsFile::path() const {
    return folder_ + QLatin1Char('/') + QLatin1String(FileName);
}

bool MetricsFile::write(const QByteArray& text) {
    if (!isOn()) {
        return false;
    }
    const QByteArray target = QFile::encodeName(path());
    QByteArray fresh = target + ".XXXXXX";  // not "*.prom": the collector passes it over
    OpenFile file;
    file.reset(::mkostemp(fresh.data(), O_CLOEXEC));
    bool written = file.isOpen();
    // Readable by the exporter, which runs as a user of its own.
    written = written && ::fchmod(file.descriptor(), 0644) == 0;
    for (qsizetype done = 0; written && done < text.size();) {
        const ssize_t part = ::write(file.descriptor(), text.constData() + done,
                                     static_cast<size_t>(text.size() - done));
        if (part < 0 && errno == EINTR) {
            continue;
        }
        written = part > 0;
        done += written ? part : 0;
    }
    const int error = written ? 0 : errno;
    file.reset();
    if (written && ::rename(fresh.constData(), target.constData()) == 0) {
        return true;
    }
    const int failure = error != 0 ? error : errno;
    ::unlink(fresh.constData());
    if (!failureReported_) {
        failureReported_ = true;
        notice(QStringLiteral("kestrix: the line's health cannot be written to %1 (%2)")
                   .arg(path(), QString::fromLocal8Bit(std::strerror(failure))));
    }
    return false;
}

}  // namespace kestrix
