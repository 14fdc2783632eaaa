#include "log/LogWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTime>
#include <cerrno>
#include <string>
#include <vector>

#include "log/Int16.h"
#include "platform/Clock.h"

namespace kestrix {

namespace {

constexpr char LineEnd[] = "\r\n";
constexpr char TemporarySuffix[] = ".tmp";
constexpr size_t CopyBufferSize = 256 * 1024;

// An open file, closed when it goes out of scope.
class OpenFile {
public:
    explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
    ~OpenFile() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    int descriptor() const { return descriptor_; }

    // Closes the file now; false when the system reports that its data may not have been kept.
    bool close() {
        int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0;
    }

private:
    int descriptor_;
};

void appendTwoDigits(std::string& line, int value) {
    value = ((value % 100) + 100) % 100;
    line += static_cast<char>('0' + value / 10);
    line += static_cast<char>('0' + value % 10);
}

// Flag letters, "hh:mm:ss mm.dd.yy ", the text as single-byte text, CRLF. The stamp is put
// together by hand: this runs for every line and must cost next to nothing beside the file work.
std::string ordinaryLine(const QString& text, bool system, bool data, bool error,
                         const LocalDateTime& at) {
    const QByteArray singleByteText = text.toLatin1();  // '?' for what Latin-1 cannot hold
    std::string line;
    line.reserve(6 + 18 + static_cast<size_t>(singleByteText.size()) + 2);
    if (error) {
        line += "E ";
    }
    if (data) {
        line += "D ";
    }
    if (system) {
        line += "S ";
    }
    appendTwoDigits(line, at.hour);
    line += ':';
    appendTwoDigits(line, at.minute);
    line += ':';
    appendTwoDigits(line, at.second);
    line += ' ';
    appendTwoDigits(line, at.month);
    line += '.';
    appendTwoDigits(line, at.day);
    line += '.';
    appendTwoDigits(line, at.year);
    line += ' ';
    line.append(singleByteText.constData(), static_cast<size_t>(singleByteText.size()));
    line += LineEnd;
    return line;
}

// The first line of a reduced log: date and time in the system's short forms.
QByteArray reductionLine(const LocalDateTime& at) {
    const QLocale locale = QLocale::system();
    const QString line =
        locale.toString(QDate(at.year, at.month, at.day), QLocale::ShortFormat) +
        QStringLiteral("; ") +
        locale.toString(QTime(at.hour, at.minute, at.second), QLocale::ShortFormat) +
        QStringLiteral("; File size reduced");
    return line.toLatin1() + LineEnd;
}

// Appends the line in one write. A write that stops part-way (disk full, file size limit) is
// taken back, so that the log never ends in a torn line.
void appendWholeLine(const QByteArray& path, const std::string& line) {
    OpenFile log(::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (!log.isOpen()) {
        return;
    }
    ssize_t written;
    do {
        written = ::write(log.descriptor(), line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written > 0 && static_cast<size_t>(written) < line.size()) {
        const off_t end = ::lseek(log.descriptor(), 0, SEEK_CUR);
        if (end >= written && ::ftruncate(log.descriptor(), end - written) != 0) {
            return;  // nothing more can be done for this line
        }
    }
}

// The log is over its limit when it is strictly longer than limitKb × 1024 bytes. A length that
// cannot be read counts as over the limit; a limit whose byte count does not fit in 32 bits
// cannot be checked, and the check is skipped.
bool isOverLimit(const QByteArray& path, int32_t limitKb) {
    const int64_t limitBytes = int64_t{limitKb} * 1024;
    if (limitBytes > INT32_MAX || limitBytes < INT32_MIN) {
        return false;
    }
    struct stat status {};
    if (::stat(path.constData(), &status) != 0) {
        return true;
    }
    return status.st_size > limitBytes;
}

// The byte, counted from 1, at which the kept part of the log is looked for: a tenth of the
// limit, rounded half to even.
off_t cutPosition(int32_t limitKb) {
    const double position = roundHalfEven(static_cast<double>(int64_t{limitKb} * 1024) * 0.1);
    return position < 1.0 ? 1 : static_cast<off_t>(position);
}

bool writeAll(int descriptor, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Reads up to a buffer full from the position on; the count, 0 at the end, −1 on failure.
ssize_t readAt(int file, std::vector<char>& buffer, off_t position) {
    ssize_t count;
    do {
        count = ::pread(file, buffer.data(), buffer.size(), position);
    } while (count < 0 && errno == EINTR);
    return count;
}

// Where the kept lines begin: just after the line end (LF; a CR before it belongs to the line)
// of the line that holds the cut byte, or the end of the file when no line end follows. False
// when the log cannot be read.
bool findKeptPart(int log, off_t cut, std::vector<char>& buffer, off_t& keptFrom) {
    off_t position = cut - 1;
    for (;;) {
        const ssize_t count = readAt(log, buffer, position);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            keptFrom = position;
            return true;
        }
        for (ssize_t i = 0; i < count; ++i) {
            if (buffer[static_cast<size_t>(i)] == '\n') {
                keptFrom = position + i + 1;
                return true;
            }
        }
        position += count;
    }
}

bool copyRest(int log, off_t from, int copy, std::vector<char>& buffer) {
    off_t position = from;
    for (;;) {
        const ssize_t count = readAt(log, buffer, position);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        if (!writeAll(copy, buffer.data(), static_cast<size_t>(count))) {
            return false;
        }
        position += count;
    }
}

// Writes the reduced log completely into the temporary file and flushes it to disk. False when
// anything failed; the temporary file may then exist in any state.
bool writeReducedCopy(const QByteArray& logPath, const QByteArray& temporaryPath, off_t cut,
                      const QByteArray& firstLine) {
    OpenFile log(::open(logPath.constData(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!log.isOpen() || ::fstat(log.descriptor(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    std::vector<char> buffer(CopyBufferSize);
    off_t keptFrom = 0;
    if (!findKeptPart(log.descriptor(), cut, buffer, keptFrom)) {
        return false;
    }
    OpenFile copy(::open(temporaryPath.constData(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                         status.st_mode & 07777));
    return copy.isOpen() &&
           writeAll(copy.descriptor(), firstLine.constData(),
                    static_cast<size_t>(firstLine.size())) &&
           copyRest(log.descriptor(), keptFrom, copy.descriptor(), buffer) &&
           ::fsync(copy.descriptor()) == 0 && copy.close();
}

}  // namespace

LogWriter::LogWriter(const Clock& clock) : clock_(clock) {}

const QByteArray& LogWriter::logPath() {
    if (preparedPath_.isEmpty() || LogDateiName != preparedName_) {
        preparedName_ = LogDateiName;
        preparedPath_ = QFile::encodeName(LogDateiName);
        ::unlink((preparedPath_ + TemporarySuffix).constData());
    }
    return preparedPath_;
}

void LogWriter::WriteLogLine(const QString& text, bool system, bool data, bool error) noexcept {
    try {
        if (error && onErrorLine) {
            onErrorLine();
        }
    } catch (...) {
        // The owner's reaction to an error line is not the writer's concern.
    }
    const bool passes = error || (system && LogSystem) || (data && Logdaten);
    if (!passes || LogDateiName.isEmpty()) {
        return;
    }
    try {
        const QByteArray& path = logPath();
        appendWholeLine(path, ordinaryLine(text, system, data, error, clock_.now()));
        if (isOverLimit(path, LogDateiGroesse)) {
            ReduceLogFile();
        }
    } catch (...) {
        // A line that cannot be written is lost; the writer reports nothing about itself.
    }
}

void LogWriter::ReduceLogFile() noexcept {
    if (LogDateiName.isEmpty()) {
        return;
    }
    QByteArray temporaryPath;
    try {
        const QByteArray& path = logPath();
        temporaryPath = path + TemporarySuffix;
        // The log is only ever replaced by a complete, flushed copy, in one atomic rename; on any
        // failure it stays as it was and the next line over the limit tries again.
        if (writeReducedCopy(path, temporaryPath, cutPosition(LogDateiGroesse),
                             reductionLine(clock_.now())) &&
            ::rename(temporaryPath.constData(), path.constData()) == 0) {
            return;
        }
    } catch (...) {
        // Treated like any other failed reduction below.
    }
    if (!temporaryPath.isEmpty()) {
        ::unlink(temporaryPath.constData());
    }
}

}  // namespace kestrix
