#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

namespace kestrix {

// One structured entry of the system journal: its message and priority, the program's identifier
// (SYSLOG_IDENTIFIER=kestrix) and the fields that say what it is about (KESTRIX_SLOT, ...).
// Where no journal listens (no socket), sending does nothing: the journal never holds the shell
// up nor changes what it does.
class JournalEntry {
public:
    // The syslog priorities the shell uses.
    enum class Priority { Error = 3, Warning = 4, Notice = 5, Info = 6, Debug = 7 };

    // The kinds of entry, in the field KESTRIX_RECORD, so that a plant can select them.
    static constexpr const char* LogLineRecord = "log-line";
    static constexpr const char* EventShownRecord = "event-shown";
    static constexpr const char* ModuleStoppedRecord = "module-stopped";
    static constexpr const char* ModuleRestartedRecord = "module-restarted";
    static constexpr const char* LineEndingRecord = "line-ending";
    static constexpr const char* LineEndedRecord = "line-ended";
    static constexpr const char* NoticeRecord = "notice";

    JournalEntry(Priority priority, const char* record, const QString& message);

    // A field NAME=value; an empty value is left out. Names are upper case, as the journal wants.
    JournalEntry& field(const char* name, const QString& value);
    JournalEntry& field(const char* name, int64_t value);

    // Queues the entry for the journal's own thread (JournalQueue): it never waits.
    void send() const noexcept;

    // Waits until the entries sent so far are in the journal, at most `wait`; before the
    // program ends.
    static bool flushSent(std::chrono::milliseconds wait) noexcept;

    // Whether a journal listens on this system (its socket is there), looked at once: where none
    // does, no entry is even put together.
    static bool journalListens();

private:
    std::vector<QByteArray> fields_;
};

}  // namespace kestrix
