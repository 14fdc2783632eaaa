#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>

namespace kestrix {

class Clock;

// The operator window's log: one plain-text file of CRLF lines, written one line per call (open,
// append, close), kept under LogDateiGroesse KB by cutting its oldest tenth off the front. Only a
// plain file is written: a pipe, a device or a folder under the log's name loses the line, as any
// place that cannot be written does, and never holds the window up.
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

    // Called for every error line, before the line is written (the window turns "Log File" red).
    std::function<void()> onErrorLine;

    // Prefix ("E ", "D ", "S "), "hh:mm:ss mm.dd.yy ", the text, CRLF. Never throws, never reports
    // its own failures: a line that cannot be written is lost.
    void WriteLogLine(const QString& text, bool system, bool data, bool error) noexcept;

    // Cuts everything up to the end of the line holding byte LogDateiGroesse × 102.4 (counted from
    // 1) off the front and puts the reduction line first: the locale's short date, "; ", its time
    // with the seconds, "; File size reduced". The log is replaced only by a complete
    // copy; on any failure the old log stays as it is and no temporary file is left.
    void ReduceLogFile() noexcept;

private:
    // The log's path in the file system's encoding, prepared again whenever LogDateiName changes.
    // Preparing it removes a temporary file of that log left behind by a process that ended in
    // the middle of a reduction.
    const QByteArray& logPath();

    const Clock& clock_;
    QLocale locale_;
    QString preparedName_;
    QByteArray preparedPath_;
};

}  // namespace kestrix
