#include "journal/LineRecords.h"

#include "journal/JournalEntry.h"

namespace kestrix {

namespace {

template <typename Send>
void sendSafely(Send send) noexcept {
    try {
        send();
    } catch (...) {
        // The journal is beside the log: what cannot be sent there is lost there alone.
    }
}

}  // namespace

void journalEventShown(int slot, const QString& progId, const QString& eventName,
                       std::chrono::milliseconds open) noexcept {
    sendSafely([&] {
        const double seconds = static_cast<double>(open.count()) / 1000.0;
        JournalEntry(JournalEntry::Priority::Info, JournalEntry::EventShownRecord,
                     QStringLiteral("event %1 of the module in slot %2 (%3) shown for %4 s")
                         .arg(eventName)
                         .arg(slot)
                         .arg(progId)
                         .arg(seconds, 0, 'f', 3))
            .field("KESTRIX_SLOT", slot)
            .field("KESTRIX_PROGID", progId)
            .field("KESTRIX_EVENT", eventName)
            .field("KESTRIX_BOX_OPEN_MS", static_cast<int64_t>(open.count()))
            .send();
    });
}

void journalModuleStopped(int slot, const QString& progId, const QString& cause) noexcept {
    sendSafely([&] {
        JournalEntry(
            JournalEntry::Priority::Error, JournalEntry::ModuleStoppedRecord,
            QStringLiteral("the module in slot %1 (%2) stopped: %3").arg(slot).arg(progId, cause))
            .field("KESTRIX_SLOT", slot)
            .field("KESTRIX_PROGID", progId)
            .field("KESTRIX_CAUSE", cause)
            .send();
    });
}

void journalModuleRestarted(int slot, const QString& progId) noexcept {
    sendSafely([&] {
        JournalEntry(JournalEntry::Priority::Notice, JournalEntry::ModuleRestartedRecord,
                     QStringLiteral("the module in slot %1 (%2) restarted").arg(slot).arg(progId))
            .field("KESTRIX_SLOT", slot)
            .field("KESTRIX_PROGID", progId)
            .send();
    });
}

void journalLineEnding(const QString& why) noexcept {
    sendSafely([&] {
        JournalEntry(JournalEntry::Priority::Notice, JournalEntry::LineEndingRecord,
                     QStringLiteral("the line ends: ") + why)
            .field("KESTRIX_CAUSE", why)
            .send();
    });
}

void journalLineEnded(int exitStatus, const QString& why) noexcept {
    sendSafely([&] {
        const auto priority =
            exitStatus == 0 ? JournalEntry::Priority::Notice : JournalEntry::Priority::Error;
        JournalEntry(priority, JournalEntry::LineEndedRecord,
                     QStringLiteral("the line ended with status %1: %2").arg(exitStatus).arg(why))
            .field("KESTRIX_CAUSE", why)
            .field("KESTRIX_EXIT_STATUS", exitStatus)
            .send();
        // The program ends right after this: its last entries must be in the journal first.
        JournalEntry::flushSent(std::chrono::milliseconds(1000));
    });
}

}  // namespace kestrix
