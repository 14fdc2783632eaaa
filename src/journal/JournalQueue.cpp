#include "journal/JournalQueue.h"

#include <sys/uio.h>
// The place in this file that sends is no news to the journal's reader.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include <utility>

namespace kestrix {

namespace {

void sendNow(const std::vector<QByteArray>& fields) {
    std::vector<iovec> parts;
    parts.reserve(fields.size());
    for (const QByteArray& field : fields) {
        parts.push_back(
            iovec{const_cast<char*>(field.constData()), static_cast<size_t>(field.size())});
    }
    // Without a journal the call fails; the entry is lost, which is all that can happen to it.
    (void)sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
}

// The entry that tells of entries dropped while the journal did not take them in.
std::vector<QByteArray> droppedEntry(size_t dropped) {
    return {"MESSAGE=" + QByteArray::number(static_cast<qulonglong>(dropped)) +
                " journal entries dropped: the journal did not take them in time",
            QByteArrayLiteral("PRIORITY=4"), QByteArrayLiteral("SYSLOG_IDENTIFIER=kestrix"),
            QByteArrayLiteral("KESTRIX_RECORD=notice")};
}

}  // namespace

JournalQueue& JournalQueue::instance() {
    static JournalQueue queue;
    return queue;
}

JournalQueue::JournalQueue() : thread_([this] { run(); }) {}

JournalQueue::~JournalQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void JournalQueue::push(std::vector<QByteArray> fields) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_.size() >= MaxWaiting) {
            ++dropped_;
            return;
        }
        waiting_.push_back(std::move(fields));
    }
    wake_.notify_one();
}

bool JournalQueue::flush(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return sent_.wait_for(lock, wait, [this] { return waiting_.empty() && !sending_; });
}

void JournalQueue::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return;  // stopping, and all is sent
        }
        std::vector<QByteArray> entry = std::move(waiting_.front());
        waiting_.pop_front();
        const size_t dropped = std::exchange(dropped_, 0);
        sending_ = true;
        lock.unlock();
        if (dropped > 0) {
            sendNow(droppedEntry(dropped));
        }
        sendNow(entry);
        lock.lock();
        sending_ = false;
        if (waiting_.empty()) {
            sent_.notify_all();
        }
    }
}

}  // namespace kestrix
