#include "journal/Notices.h"

#include <sys/stat.h>

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "journal/JournalEntry.h"

namespace kestrix {

namespace {

// Whether standard error is the journal's stream: systemd names it in JOURNAL_STREAM as
// "device:inode" when it connects a service's output to the journal.
bool standardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status {};
    if (stream == nullptr || ::fstat(2, &status) != 0) {
        return false;
    }
    unsigned long long device = 0;
    unsigned long long inode = 0;
    return std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
           device == static_cast<unsigned long long>(status.st_dev) &&
           inode == static_cast<unsigned long long>(status.st_ino);
}

bool onJournalAlready() {
    static const bool already = standardErrorIsJournal();
    return already;
}

void sendNotice(JournalEntry::Priority priority, const QString& line) noexcept {
    try {
        JournalEntry(priority, JournalEntry::NoticeRecord, line).send();
    } catch (...) {
        // The notice stays on standard error alone.
    }
}

JournalEntry::Priority priorityOf(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return JournalEntry::Priority::Debug;
        case QtInfoMsg:
            return JournalEntry::Priority::Info;
        case QtWarningMsg:
            return JournalEntry::Priority::Warning;
        case QtCriticalMsg:
        case QtFatalMsg:
            break;
    }
    return JournalEntry::Priority::Error;
}

QtMessageHandler standardHandler = nullptr;

void handleQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    sendNotice(priorityOf(type), message);
    if (onJournalAlready() && type != QtFatalMsg) {
        return;
    }
    if (standardHandler != nullptr) {
        standardHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
}

}  // namespace

void notice(const QString& line) noexcept {
    sendNotice(JournalEntry::Priority::Warning, line);
    if (!onJournalAlready()) {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
}

void forwardQtMessagesToJournal() {
    standardHandler = qInstallMessageHandler(handleQtMessage);
}

}  // namespace kestrix
