#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <optional>

#include "channel/ModuleMessage.h"

namespace kestrix {

// One end of the private channel between the shell and a module's process: a socket of a pair made
// before the module's process started, so no name of it exists in the file system. The socket is
// served with plain reads and writes beside the event loop's notifiers: the module host links no
// network library for it, which keeps a module process's start short.
//
// Messages are handed on from the event loop, not from inside the socket's notification, and one
// at a time: a handler may wait in a nested event loop (a box, an answer) and the messages that
// arrive meanwhile are handed on from there.
//
// The shell's end is bounded against a module that sends too much: each turn of the event loop
// reads at most ReadBudget bytes, so the window gets its turn between; at most MaxUnread bytes
// wait to be handed on (reading pauses until they are, and the module's writes wait); and a peer
// that sends more than a given number of messages within a second is cut off.
class ModuleChannel : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype ReadBudget = 256 * 1024;
    static constexpr qsizetype MaxUnread = 2 * 1024 * 1024;

    // Takes over the connected socket descriptor. maxMessagesPerSecond: 0 for no limit.
    explicit ModuleChannel(int descriptor, QObject* parent = nullptr, int maxMessagesPerSecond = 0);
    ~ModuleChannel() override;

    void send(const ModuleMessage& message);
    bool isOpen() const { return open_; }
    // Closes the channel at once: nothing more is read, sent or handed on, and no closed follows.
    void shut();

    // How the channel ended on the peer's account.
    enum class Ending {
        Closed,      // the other end closed it
        Unreadable,  // it sent what is no message, or ended inside one
        Flooded,     // it sent more messages within a second than allowed
    };
    int maxMessagesPerSecond() const { return maxMessagesPerSecond_; }
    // Reads what the peer left now, as its process has ended: how it broke the channel, if it did
    // (a stream that ends inside a frame did).
    std::optional<Ending> readToTheEnd();

Q_SIGNALS:
    void received(const kestrix::ModuleMessage& message);
    // No message is handed on after this.
    void closed(kestrix::ModuleChannel::Ending ending);

private:
    void readAvailable();
    bool readWithinBudget();
    qsizetype unread() const;
    void resumeReading();
    // Writes what the socket takes of the waiting bytes; false when the other end is gone.
    bool writeWaiting();
    // Whole frames of the buffer become messages; how the peer broke the channel, if it did.
    std::optional<Ending> takeFrames();
    void scheduleHandOn();
    void handOn();
    void close(Ending ending);
    void closeDescriptor();
    // Whether this frame's arrival stays within the rate; counts it.
    bool withinRate();

    int descriptor_;
    QSocketNotifier readable_;
    QSocketNotifier writable_;
    QByteArray buffer_;
    QByteArray waitingToBeWritten_;
    std::deque<ModuleMessage> arrived_;
    qsizetype arrivedBytes_ = 0;
    const int maxMessagesPerSecond_;
    qint64 rateWindowStart_ = 0;  // ms since the epoch
    int messagesInWindow_ = 0;
    bool open_ = true;
    bool closing_ = false;  // the end is known; the messages before it are still handed on
    Ending ending_ = Ending::Closed;
};

}  // namespace kestrix
