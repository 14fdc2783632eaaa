#pragma once

#include <QString>
#include <cstdint>

namespace kestrix {

// What a log line is about, read from its text: the procedure's source string, and for a fault
// line its number and fault source; the slot and ProgID of the module where the line names one
// (a module's own source string "KX.O3", or a failed creation's "... Object:XKX_OCR.OCR[3]"),
// else the ProgID alone of a module whose call faulted (a fault source "Library.Class"; the
// program's own faults have "Kestrix" or a control's name).
struct LogLineFields {
    QString source;
    int32_t fault = 0;  // 0: no fault line
    QString faultSource;
    int slot = 0;  // 0: no module named
    QString progId;
};
LogLineFields readLogLine(const QString& text);

// Sends one log line to the journal: its text as the message, its priority from its flags (error
// 3, data 6, system 7) and the fields above. Called for every line the log's flags let pass,
// whether or not the log file can be written.
void journalLogLine(const QString& text, bool system, bool data, bool error) noexcept;

}  // namespace kestrix
