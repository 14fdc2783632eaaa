#pragma once

#include <QByteArray>
#include <QLocale>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

namespace kestrix {

class Clock;

// The operator window's log: one plain-text file of CRLF lines, written one line per call (open,
// append, close), kept under LogDateiGroesse KB by cutting its oldest tenth off the front. Only a
// plain file is written: a link, a pipe, a device or a folder under the log's name loses the line,
// as any place that cannot be written does, and never holds the window up. Several processes may
// write the same log (operators sharing the line's log folder): they take turns for each line and
// the reduction it starts, so that no line is lost between them.
class LogWriter {
public:
    // The locale gives the reduction line its date and time forms.
    explicit LogWriter(const Clock& clock, QLocale locale = QLocale::system());

    // The log settings, public as the operator window's members of the same names; filled at
    // every activation of the window. Until then the name is empty and nothing but faults passes.
    QString LogDateiName;
    int32_t LogDateiGroesse = 0;
    bool LogSystem = false;
    bool Logdaten = false;

    // Called with the text of every error line, before the line is written (the window turns
    // "Log File" red, the line's health counts the fault).
    std::function<void(const QString& text)> onErrorLine;

    // Prefix ("E ", "D ", "S "), "hh:mm:ss mm.dd.yy ", the text with its control characters
    // (line breaks among them) as blanks and cut to a tenth of the log's limit, at most 4 KB,
    // CRLF. Never throws and writes no line about itself: a line that cannot be written is lost,
    // and the first such line of a log name says so in one line on stderr.
    void WriteLogLine(const QString& text, bool system, bool data, bool error) noexcept;

    // The kinds of line the shell writes; each sets exactly one flag.
    enum class Line {
        System,  // the operator window's own start-up and timers
        Data,    // the plug-in host's work
        Error,   // a fault line
    };
    void WriteLogLine(const QString& text, Line kind) noexcept {
        WriteLogLine(text, kind == Line::System, kind == Line::Data, kind == Line::Error);
    }

    // Cuts everything up to the end of the line holding byte LogDateiGroesse × 102.4 (counted from
    // 1) off the front and puts the reduction line first: the locale's short date, "; ", its time
    // with the seconds, "; File size reduced". The log is replaced only by a complete
    // copy; on any failure the old log stays as it is and no temporary file is left.
    void ReduceLogFile() noexcept;

private:
    enum class LineOutcome { Written, LostLogReduced, Lost };

    // The log's path in the file system's encoding, prepared again whenever LogDateiName changes.
    // Preparing it removes the reduced copies of that log that this user's writers left behind
    // when they ended in the middle of a reduction.
    const QByteArray& logPath();

    // One try at appending the line, with the size check and the reduction it may start, while
    // the log is held against its other writers.
    // `lostBecause` says why, when the line is lost.
    LineOutcome appendLine(const QByteArray& path, const std::string& line,
                           std::string& lostBecause);

    // Opens and holds the log and reduces it; false when it stays as it was.
    bool reduceLog(const QByteArray& path);

    // Reduces the log open as `log`, which this process holds; false when it stays as it was.
    bool reduceHeldLog(const QByteArray& path, int log);

    // Says once per log name, on stderr, that the log's lines are lost.
    void reportLostLines(const QByteArray& path, const std::string& reason);

    const Clock& clock_;
    QLocale locale_;
    QString preparedName_;
    QByteArray preparedPath_;
    // Set once a wait for another writer's turn has run out: from then on a line waits no more
    // (another process may hold the log for good) until a turn is had at once again.
    bool turnWaitInVain_ = false;
    QSet<QString> reportedNames_;
};

}  // namespace kestrix
