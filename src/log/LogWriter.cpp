#include "log/LogWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fault/Int16.h"
#include "files/OpenFile.h"
#include "journal/LogLineEntry.h"
#include "journal/Notices.h"
#include "platform/Clock.h"

namespace kestrix {

namespace {

constexpr char LineEnd[] = "\r\n";
constexpr size_t CopyBufferSize = 256 * 1024;
// How long a line waits for another process writing the same log to finish its line and the
// reduction that may follow: far longer than a reduction of the largest log takes, and short
// enough for the window's thread.
constexpr std::chrono::milliseconds TurnWait(1000);
// How often a line that may not wait opens the log again that other writers' reductions replace.
constexpr int OpeningsWithoutWait = 3;
// How many fresh names a reduced copy tries before it gives up, and how long they are.
constexpr int MaxFreshNames = 8;
constexpr int FreshNameLength = 12;
// A reduced copy untouched for this long (seconds) is a leftover: no writer is at work on it.
constexpr time_t LeftCopyAge = 60;

void appendTwoDigits(std::string& line, int value) {
    value = ((value % 100) + 100) % 100;
    line += static_cast<char>('0' + value / 10);
    line += static_cast<char>('0' + value % 10);
}

// The longest text of one line: a tenth of the log's limit, at most 4 KB, so that no one line can
// push the others out of the log in a reduction. A longer text is cut and ends in CutMark.
constexpr qsizetype MaxLineTextBytes = 4096;
constexpr char CutMark[] = " [cut]";

qsizetype lineTextBound(int32_t logDateiGroesse) {
    const qsizetype tenth = static_cast<qsizetype>(logDateiGroesse) * 1024 / 10;
    return tenth > 0 ? std::min(tenth, MaxLineTextBytes) : MaxLineTextBytes;
}

// Latin-1 ('?' for what it cannot hold) with every control character a blank: a line break would
// split the log line, an escape sequence would reach the terminal that shows the log.
QByteArray singleByteTextOf(const QString& text, qsizetype bound) {
    QByteArray singleByteText = text.toLatin1();
    for (char& c : singleByteText) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7f && byte < 0xa0)) {
            c = ' ';
        }
    }
    if (singleByteText.size() > bound) {
        const qsizetype mark = static_cast<qsizetype>(sizeof CutMark) - 1;
        singleByteText.truncate(std::max<qsizetype>(bound - mark, 0));
        singleByteText.append(CutMark);
    }
    return singleByteText;
}

// Flag letters, "hh:mm:ss mm.dd.yy ", the text as single-byte text, CRLF. The stamp is put
// together by hand: this runs for every line and must cost next to nothing beside the file work.
std::string ordinaryLine(const QString& text, qsizetype bound, bool system, bool data, bool error,
                         const LocalDateTime& at) {
    const QByteArray singleByteText = singleByteTextOf(text, bound);
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

// What opening the log found.
enum class Opened { PlainFile, NotPlainFile, NotOpened };

// Opens the log without following a link at its name and without waiting, so that a pipe or a
// device there cannot hold the window up. A log this process may write but not read is still
// written; it just cannot be reduced by this process.
void openWithoutFollowing(const QByteArray& path, int flags, OpenFile& log) {
    constexpr int always = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    log.reset(::open(path.constData(), flags | always, 0666));
    if (!log.isOpen() && errno == EACCES && (flags & O_ACCMODE) == O_RDWR) {
        log.reset(::open(path.constData(), (flags & ~O_ACCMODE) | O_WRONLY | always, 0666));
    }
}

enum class Turn { Had, Busy, NoLocking };

// Takes this process's turn at the log: the lock that every writer of the log holds from its
// append until its reduction has put the reduced copy in place, so that no reduction drops a
// line appended meanwhile. Waits for it in short pauses until `giveUp`.
Turn takeTurn(int log, std::chrono::steady_clock::time_point giveUp) {
    std::chrono::microseconds pause(100);
    for (;;) {
        if (::flock(log, LOCK_EX | LOCK_NB) == 0) {
            return Turn::Had;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return Turn::NoLocking;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            return Turn::Busy;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
}

// Opens the log and takes this process's turn at it; keeps it only when it is a plain file with
// no second name (a link of either kind to somebody's file is no log). A log that another
// writer's reduction replaced while this one waited has lost its name: the log is opened again
// under its name, until the wait is over; a line that never holds the named log is lost rather
// than written to a file that no longer is the log (NotOpened, errno EBUSY). Without a turn
// (another process holds the log too long, or the file system has no locks) the line goes on
// without one: losing it for sure would be worse. A wait that ran out sets `turnWaitInVain`; a
// turn had clears it. On NotOpened, errno says why.
Opened openHeldLog(const QByteArray& path, int flags, bool& turnWaitInVain, OpenFile& log,
                   struct stat& status) {
    const auto start = std::chrono::steady_clock::now();
    const auto giveUp = turnWaitInVain ? start : start + TurnWait;
    for (int opening = 1;; ++opening) {
        openWithoutFollowing(path, flags, log);
        if (!log.isOpen()) {
            return errno == ELOOP ? Opened::NotPlainFile : Opened::NotOpened;
        }
        const Turn turn = takeTurn(log.descriptor(), giveUp);
        if (::fstat(log.descriptor(), &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_nlink > 1) {
            log.reset();
            return Opened::NotPlainFile;
        }
        if (turn != Turn::Had) {
            turnWaitInVain = turn == Turn::Busy;
            return Opened::PlainFile;
        }
        turnWaitInVain = false;
        if (status.st_nlink == 1) {
            return Opened::PlainFile;
        }
        if (std::chrono::steady_clock::now() >= giveUp && opening >= OpeningsWithoutWait) {
            log.reset();
            errno = EBUSY;
            return Opened::NotOpened;
        }
    }
}

// What became of a line: appended whole or not (errno's value then in `error`), and the log's
// length afterwards, nothing when that cannot be read.
struct Appended {
    bool whole = false;
    std::optional<off_t> length;
    int error = 0;
};

// Appends the line, normally in one write, to a log `length` bytes long. A line that stops
// part-way (disk full, file size limit) is taken back, so that the log never ends in a torn line.
Appended appendWholeLine(int log, const std::string& line, off_t length) {
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::write(log, line.data() + written, line.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            const int error = count < 0 ? errno : ENOSPC;
            const off_t end = ::lseek(log, 0, SEEK_END);
            if (end < 0) {
                return {false, std::nullopt, error};
            }
            const off_t before = end - static_cast<off_t>(written);
            const bool takenBack = written == 0 || ::ftruncate(log, before) == 0;
            return {false, takenBack ? before : end, error};
        }
        written += static_cast<size_t>(count);
    }
    return {true, length + static_cast<off_t>(line.size()), 0};
}

// The log's length as it is on disk; nothing when it cannot be read. Anything but a plain file
// has no length to keep.
std::optional<off_t> lengthOf(const QByteArray& path) {
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0) {
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

// The folder that holds the log, where its reduced copy is made.
QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// A name beside the log that nobody can have placed in advance: FreshNameLength letters of 6
// random bits each, then ".tmp".
QByteArray freshNameBeside(const QByteArray& path) {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::random_device random;
    QByteArray name = path + '.';
    for (int part = 0; part < FreshNameLength / 4; ++part) {
        uint32_t bits = random();
        for (int letter = 0; letter < 4; ++letter, bits >>= 6) {
            name += Letters[bits & 63];
        }
    }
    return name + ".tmp";
}

// Removes the reduced copies of the log that this user's writers left behind when they ended
// between naming a copy and putting it in place: plain files under the copies' names, this
// user's, untouched for long enough that no writer is still at work on them. Nothing else in the
// folder is touched.
void removeLeftCopies(const QByteArray& path) {
    const QByteArray folder = folderOf(path);
    const QByteArray prefix = path.mid(path.lastIndexOf('/') + 1) + '.';
    DIR* entries = ::opendir(folder.constData());
    if (entries == nullptr) {
        return;
    }
    const time_t longAgo = ::time(nullptr) - LeftCopyAge;
    while (const dirent* entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        struct stat status {};
        if (name.size() == prefix.size() + FreshNameLength + 4 && name.startsWith(prefix) &&
            name.endsWith(".tmp") &&
            ::fstatat(::dirfd(entries), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == ::geteuid() && status.st_mtime < longAgo) {
            ::unlinkat(::dirfd(entries), entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

// The reduced copy of a log, made in the log's folder so that one rename puts it in the log's
// place. It is always a new file, with the mode a new log gets (open to the group in the shared
// log folder), and never opened under a name
// somebody else could have placed first (a pipe or a link there could hold the window up or
// send the copy elsewhere). Where the file system allows, it has no name until it is complete,
// so that a process ending meanwhile leaves nothing behind; elsewhere it is created under a fresh
// random name that must not exist yet. A copy that did not replace the log goes.
class ReducedCopy {
public:
    ReducedCopy(const QByteArray& logPath, bool unnamed) {
        if (unnamed) {
            file_.reset(
                ::open(folderOf(logPath).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
            return;
        }
        for (int attempt = 0; attempt < MaxFreshNames && !file_.isOpen(); ++attempt) {
            name_ = freshNameBeside(logPath);
            file_.reset(::open(name_.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                               0666));
            if (!file_.isOpen() && errno != EEXIST) {
                break;
            }
        }
        if (!file_.isOpen()) {
            name_.clear();
        }
    }
    ~ReducedCopy() {
        if (!name_.isEmpty()) {
            ::unlink(name_.constData());
        }
    }
    ReducedCopy(const ReducedCopy&) = delete;
    ReducedCopy& operator=(const ReducedCopy&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    int descriptor() const { return file_.descriptor(); }

    // Puts the complete copy in the log's place in one rename; false when the log stays.
    bool replace(const QByteArray& logPath) {
        if ((name_.isEmpty() && !giveName(logPath)) ||
            ::rename(name_.constData(), logPath.constData()) != 0) {
            return false;
        }
        name_.clear();
        return true;
    }

private:
    // Links the unnamed copy in under a fresh name beside the log.
    bool giveName(const QByteArray& logPath) {
        const QByteArray open = "/proc/self/fd/" + QByteArray::number(file_.descriptor());
        for (int attempt = 0; attempt < MaxFreshNames; ++attempt) {
            const QByteArray name = freshNameBeside(logPath);
            if (::linkat(AT_FDCWD, open.constData(), AT_FDCWD, name.constData(),
                         AT_SYMLINK_FOLLOW) == 0) {
                name_ = name;
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    OpenFile file_;
    QByteArray name_;
};

// In a setgid folder (the line's shared log folder, of the operators' group) the reduced copy is
// the group's to write as well, whatever this writer's umask, so that the other operators can go
// on writing the log it replaces; others get no more than reading.
void openToTheFoldersGroup(int copy, const QByteArray& folder) {
    struct stat folderStatus {};
    struct stat copyStatus {};
    if (::stat(folder.constData(), &folderStatus) == 0 && (folderStatus.st_mode & S_ISGID) &&
        ::fstat(copy, &copyStatus) == 0) {
        ::fchmod(copy, (copyStatus.st_mode | S_IRGRP | S_IWGRP) & 0664);
    }
}

// Replaces the log, open as `log`, by its reduced copy: the first line, then everything after the
// line that holds the cut byte, written completely and flushed before it takes the log's place.
// False when anything failed; the log then stays as it was.
bool replaceByReducedCopy(const QByteArray& path, int log, off_t cut, const QByteArray& firstLine) {
    std::vector<char> buffer(CopyBufferSize);
    off_t keptFrom = 0;
    if (!findKeptPart(log, cut, buffer, keptFrom)) {
        return false;
    }
    // An unnamed copy first; one that cannot be named (no /proc) is made again under a name.
    for (const bool unnamed : {true, false}) {
        ReducedCopy copy(path, unnamed);
        if (!copy.isOpen()) {
            continue;
        }
        openToTheFoldersGroup(copy.descriptor(), folderOf(path));
        if (!writeAll(copy.descriptor(), firstLine.constData(),
                      static_cast<size_t>(firstLine.size())) ||
            !copyRest(log, keptFrom, copy.descriptor(), buffer) ||
            ::fsync(copy.descriptor()) != 0) {
            return false;
        }
        if (copy.replace(path)) {
            return true;
        }
    }
    return false;
}

}  // namespace

LogWriter::LogWriter(const Clock& clock, QLocale locale)
    : clock_(clock), locale_(std::move(locale)) {}

const QByteArray& LogWriter::logPath() {
    if (preparedPath_.isEmpty() || LogDateiName != preparedName_) {
        preparedName_ = LogDateiName;
        preparedPath_ = QFile::encodeName(LogDateiName);
        removeLeftCopies(preparedPath_);
    }
    return preparedPath_;
}

void LogWriter::WriteLogLine(const QString& text, bool system, bool data, bool error) noexcept {
    try {
        if (error && onErrorLine) {
            onErrorLine(text);
        }
    } catch (...) {
        // The owner's reaction to an error line is not the writer's concern.
    }
    const bool passes = error || (system && LogSystem) || (data && Logdaten);
    if (passes) {
        journalLogLine(text, system, data, error);  // the journal beside the file
    }
    if (!passes || LogDateiName.isEmpty()) {
        return;
    }
    try {
        const QByteArray& path = logPath();
        const std::string line =
            ordinaryLine(text, lineTextBound(LogDateiGroesse), system, data, error, clock_.now());
        std::string lostBecause;
        LineOutcome outcome = appendLine(path, line, lostBecause);
        if (outcome == LineOutcome::LostLogReduced) {
            // The reduction has made room: the line gets a second try.
            outcome = appendLine(path, line, lostBecause);
        }
        if (outcome != LineOutcome::Written) {
            reportLostLines(path, lostBecause);
        }
    } catch (...) {
        // A line that cannot be written is lost; the writer writes no line about itself.
    }
}

LogWriter::LineOutcome LogWriter::appendLine(const QByteArray& path, const std::string& line,
                                             std::string& lostBecause) {
    OpenFile log;
    struct stat status {};
    const Opened opened =
        openHeldLog(path, O_RDWR | O_APPEND | O_CREAT, turnWaitInVain_, log, status);
    Appended appended;
    if (opened == Opened::PlainFile) {
        appended = appendWholeLine(log.descriptor(), line, status.st_size);
    } else if (opened == Opened::NotOpened) {
        appended.error = errno;
        appended.length = lengthOf(path);
    } else {
        lostBecause = "not a plain file";
        return LineOutcome::Lost;
    }
    if (!appended.whole) {
        lostBecause = std::strerror(appended.error);
    }
    if (!isOverLimit(appended.length, LogDateiGroesse)) {
        return appended.whole ? LineOutcome::Written : LineOutcome::Lost;
    }
    // Still held: no other writer's line can go in between the copy and its taking the log's
    // place.
    const bool reduced = log.isOpen() ? reduceHeldLog(path, log.descriptor()) : reduceLog(path);
    if (appended.whole) {
        return LineOutcome::Written;
    }
    return reduced ? LineOutcome::LostLogReduced : LineOutcome::Lost;
}

void LogWriter::ReduceLogFile() noexcept {
    if (LogDateiName.isEmpty()) {
        return;
    }
    try {
        reduceLog(logPath());
    } catch (...) {
        // A failed reduction leaves the log as it was; the next line over the limit tries again.
    }
}

bool LogWriter::reduceLog(const QByteArray& path) {
    OpenFile log;
    struct stat status {};
    return openHeldLog(path, O_RDONLY, turnWaitInVain_, log, status) == Opened::PlainFile &&
           reduceHeldLog(path, log.descriptor());
}

bool LogWriter::reduceHeldLog(const QByteArray& path, int log) {
    return replaceByReducedCopy(path, log, cutPosition(LogDateiGroesse),
                                reductionLine(locale_, clock_.now()));
}

void LogWriter::reportLostLines(const QByteArray& path, const std::string& reason) {
    if (reportedNames_.contains(LogDateiName)) {
        return;
    }
    reportedNames_.insert(LogDateiName);
    notice(QStringLiteral("kestrix: the log %1 cannot be written (%2); its lines are lost")
               .arg(QFile::decodeName(path), QString::fromLocal8Bit(reason.c_str())));
}

}  // namespace kestrix
