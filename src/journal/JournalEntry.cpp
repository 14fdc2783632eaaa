#include "journal/JournalEntry.h"

#include "journal/JournalQueue.h"

#include <unistd.h>

namespace kestrix {

JournalEntry::JournalEntry(Priority priority, const char* record, const QString& message) {
    // A line break would start a new line in the journal's display; the log writes it as a blank.
    QString oneLine = message;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    fields_.push_back("MESSAGE=" + oneLine.toUtf8());
    fields_.push_back("PRIORITY=" + QByteArray::number(static_cast<int>(priority)));
    fields_.push_back(QByteArrayLiteral("SYSLOG_IDENTIFIER=kestrix"));
    fields_.push_back(QByteArrayLiteral("KESTRIX_RECORD=") + record);
}

JournalEntry& JournalEntry::field(const char* name, const QString& value) {
    if (!value.isEmpty()) {
        fields_.push_back(QByteArray(name) + '=' + value.toUtf8());
    }
    return *this;
}

JournalEntry& JournalEntry::field(const char* name, int64_t value) {
    fields_.push_back(QByteArray(name) + '=' + QByteArray::number(static_cast<qlonglong>(value)));
    return *this;
}

bool JournalEntry::journalListens() {
    static const bool listens = ::access("/run/systemd/journal/socket", F_OK) == 0;
    return listens;
}

void JournalEntry::send() const noexcept {
    if (!journalListens()) {
        return;
    }
    try {
        JournalQueue::instance().push(fields_);
    } catch (...) {
        // The journal is beside the log: what cannot be sent there is lost there alone.
    }
}

bool JournalEntry::flushSent(std::chrono::milliseconds wait) noexcept {
    try {
        return !journalListens() || JournalQueue::instance().flush(wait);
    } catch (...) {
        return false;
    }
}

}  // namespace kestrix
