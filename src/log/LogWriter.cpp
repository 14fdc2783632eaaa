#include "log/LogWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTime>
#include <cerrno>
#include <optional>
#include <string>
#include <utility>
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

// The locale's time form with the seconds: its long form without the time zone, as the system's
// own time form reads (the short form of most locales drops the seconds).
QString timeFormWithSeconds(const QLocale& locale) {
    const QString longForm = locale.timeFormat(QLocale::LongFormat);
    QString form;
    bool quoted = false;
    for (const QChar c : longForm) {
        quoted = c == QLatin1Char('\'') ? !quoted : quoted;
        if (quoted || c != QLatin1Char('t')) {  // 't' outside quotes is the time zone
            form += c;
        }
    }
    return form.trimmed();
}

// The first line of a reduced log: the locale's short date and its time with the seconds.
QByteArray reductionLine(const QLocale& locale, const LocalDateTime& at) {
    const QString line =
        locale.toString(QDate(at.year, at.month, at.day), QLocale::ShortFormat) +
        QStringLiteral("; ") +
        locale.toString(QTime(at.hour, at.minute, at.second), timeFormWithSeconds(locale)) +
        QStringLiteral("; File size reduced");
    return line.toLatin1() + LineEnd;
}

// What became of a line: appended to a log now `length` bytes long (nothing when that cannot be
// read); or the log is no plain file and was left alone; or it could not be opened.
struct Appended {
    enum class Outcome { Appended, NotPlainFile, NotOpened };
    Outcome outcome;
    std::optional<off_t> length;
};

// Appends the line in one write. Opened without waiting, so that a pipe without a reader (or a
// device) under the log's name cannot hold the window up; anything but a plain file is left
// alone. A write that stops part-way (disk full, file size limit) is taken back, so that the log
// never ends in a torn line.
Appended appendWholeLine(const QByteArray& path, const std::string& line) {
    OpenFile log(
        ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!log.isOpen()) {
        return {Appended::Outcome::NotOpened, std::nullopt};
    }
    struct stat status {};
    if (::fstat(log.descriptor(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return {Appended::Outcome::NotPlainFile, std::nullopt};
    }
    ssize_t written;
    do {
        written = ::write(log.descriptor(), line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written <= 0) {
        return {Appended::Outcome::Appended, status.st_size};
    }
    // Appending leaves the position at the file's end: its length.
    const off_t end = ::lseek(log.descriptor(), 0, SEEK_CUR);
    if (end < written) {
        return {Appended::Outcome::Appended, std::nullopt};
    }
    if (static_cast<size_t>(written) < line.size()) {
        const bool takenBack = ::ftruncate(log.descriptor(), end - written) == 0;
        return {Appended::Outcome::Appended, takenBack ? end - written : end};
    }
    return {Appended::Outcome::Appended, end};
}

// The log's length as it is on disk; nothing when it cannot be read. Anything but a plain file
// has no length to keep.
std::optional<off_t> lengthOf(const QByteArray& path) {
    struct stat status {};
    if (::stat(path.constData(), &status) != 0) {
        return std::nullopt;
    }
    return S_ISREG(status.st_mode) ? status.st_size : 0;
}

// The log is over its limit when it is strictly longer than limitKb × 1024 bytes. A length that
// cannot be read counts as over the limit; a limit whose byte count does not fit in 32 bits
// cannot be checked, and the check is skipped.
bool isOverLimit(std::optional<off_t> length, int32_t limitKb) {
    const int64_t limitBytes = int64_t{limitKb} * 1024;
    if (limitBytes > INT32_MAX || limitBytes < INT32_MIN) {
        return false;
    }
    return !length || *length > limitBytes;
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
    OpenFile log(::open(logPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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

LogWriter::LogWriter(const Clock& clock, QLocale locale)
    : clock_(clock), locale_(std::move(locale)) {}

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
        const Appended appended =
            appendWholeLine(path, ordinaryLine(text, system, data, error, clock_.now()));
        if (appended.outcome == Appended::Outcome::NotPlainFile) {
            return;
        }
        const std::optional<off_t> length =
            appended.outcome == Appended::Outcome::NotOpened ? lengthOf(path) : appended.length;
        if (isOverLimit(length, LogDateiGroesse)) {
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
                             reductionLine(locale_, clock_.now())) &&
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
