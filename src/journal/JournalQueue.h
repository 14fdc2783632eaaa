#pragma once

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrix {

// Hands the entries to the journal from a thread of its own. Sending to the journal waits when
// the journal is slow to take entries in (a burst, a busy disk) or has stalled; the window's
// thread, which the service's watchdog watches, must never wait for it. So an entry is only put
// in a queue here; of more than MaxWaiting entries waiting, new ones are dropped and counted, and
// the count goes to the journal as an entry of its own once there is room again.
class JournalQueue {
public:
    static constexpr size_t MaxWaiting = 4096;

    // The program's one queue; its thread starts with the first entry.
    static JournalQueue& instance();

    void push(std::vector<QByteArray> fields);

    // Waits until the entries queued so far are sent, at most `wait`; true when they are. Called
    // before the program ends, so that its last entries (why the line ended) are not lost.
    bool flush(std::chrono::milliseconds wait);

    ~JournalQueue();
    JournalQueue(const JournalQueue&) = delete;
    JournalQueue& operator=(const JournalQueue&) = delete;

private:
    JournalQueue();
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable sent_;
    std::deque<std::vector<QByteArray>> waiting_;
    size_t dropped_ = 0;
    bool sending_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kestrix
