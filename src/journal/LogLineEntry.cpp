#include "journal/LogLineEntry.h"

#include <QRegularExpression>

#include "fault/Fault.h"
#include "journal/JournalEntry.h"

namespace kestrix {

namespace {

// The module that a source string names: "KX.O<n>" (the module's control) or
// "Object:<ProgID>[<n>]" (its creation).
void readModule(const QString& sourceString, LogLineFields& fields) {
    static const QRegularExpression control(QStringLiteral("^KX\\.O(\\d+)$"));
    static const QRegularExpression creation(QStringLiteral("Object:(.+)\\[(\\d+)\\]$"));
    if (const auto match = control.match(sourceString); match.hasMatch()) {
        fields.slot = match.captured(1).toInt();
        fields.progId = fields.faultSource;  // a module's fault carries its ProgID as source
    } else if (const auto made = creation.match(sourceString); made.hasMatch()) {
        fields.progId = made.captured(1);
        fields.slot = made.captured(2).toInt();
    } else if (fields.faultSource.contains(QLatin1Char('.'))) {
        fields.progId = fields.faultSource;  // a module's call that faulted ("Library.Class")
    }
}

}  // namespace

LogLineFields readLogLine(const QString& text) {
    LogLineFields fields;
    if (const std::optional<FaultLineParts> fault = readFaultLine(text)) {
        fields.source = fault->sourceString;
        fields.fault = fault->number;
        fields.faultSource = fault->faultSource;
        readModule(fault->sourceString, fields);
        return fields;
    }
    // Any other line is its procedure's source string and a progress marker ("KX.NeuesObjekt An ").
    fields.source = text.section(QLatin1Char(' '), 0, 0);
    return fields;
}

void journalLogLine(const QString& text, bool system, bool data, bool error) noexcept {
    if (!JournalEntry::journalListens()) {
        return;
    }
    try {
        const LogLineFields fields = readLogLine(text);
        QStringList flags;
        if (error) {
            flags << QStringLiteral("E");
        }
        if (data) {
            flags << QStringLiteral("D");
        }
        if (system) {
            flags << QStringLiteral("S");
        }
        const auto priority = error  ? JournalEntry::Priority::Error
                              : data ? JournalEntry::Priority::Info
                                     : JournalEntry::Priority::Debug;
        JournalEntry entry(priority, JournalEntry::LogLineRecord, text.trimmed());
        entry.field("KESTRIX_FLAGS", flags.join(QLatin1Char(' ')))
            .field("KESTRIX_SOURCE", fields.source)
            .field("KESTRIX_FAULT_SOURCE", fields.faultSource)
            .field("KESTRIX_PROGID", fields.progId);
        if (fields.fault != 0) {
            entry.field("KESTRIX_FAULT", fields.fault);
        }
        if (fields.slot != 0) {
            entry.field("KESTRIX_SLOT", fields.slot);
        }
        entry.send();
    } catch (...) {
        // The journal is beside the log: what cannot be sent there is lost there alone.
    }
}

}  // namespace kestrix
