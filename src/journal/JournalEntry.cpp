#include "journal/JournalEntry.h"

#include <sys/uio.h>
#include <systemd/sd-journal.h>
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
    std::vector<iovec> parts;
    parts.reserve(fields_.size());
    for (const QByteArray& field : fields_) {
        parts.push_back(
            iovec{const_cast<char*>(field.constData()), static_cast<size_t>(field.size())});
    }
    // Without a journal the call fails; the entry is lost, which is all that can happen to it.
    (void)sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
}

}  // namespace kestrix
