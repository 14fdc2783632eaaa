#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <deque>

#include "isolation/ModuleMessage.h"

namespace kestrix {

// One end of the private channel between the shell and a module's process: a socket of a pair made
// before the module's process started, so no name of it exists in the file system. The socket is
// served with plain reads and writes beside the event loop's notifiers: the module host links no
// network library for it, which keeps a module process's start short.
//
// Messages are handed on from the event loop, not from inside the socket's notification, and one
// at a time: a handler may wait in a nested event loop (a box, an answer) and the messages that
// arrive meanwhile are handed on from there.
class ModuleChannel : public QObject {
    Q_OBJECT
public:
    // Takes over the connected socket descriptor.
    explicit ModuleChannel(int descriptor, QObject* parent = nullptr);
    ~ModuleChannel() override;

    void send(const ModuleMessage& message);
    bool isOpen() const { return open_; }

Q_SIGNALS:
    void Received(const kestrix::ModuleMessage& message);
    // The other end closed the channel, or sent what is no message (unreadable is then true); no
    // message is handed on after this.
    void Closed(bool unreadable);

private:
    void readAvailable();
    bool readWhatIsThere();
    // Writes what the socket takes of the waiting bytes; false when the other end is gone.
    bool writeWaiting();
    // Whole frames of the buffer become messages; false when one is no message.
    bool takeFrames();
    void scheduleHandOn();
    void handOn();
    void close(bool unreadable);
    void closeDescriptor();

    int descriptor_;
    QSocketNotifier readable_;
    QSocketNotifier writable_;
    QByteArray buffer_;
    QByteArray waitingToBeWritten_;
    std::deque<ModuleMessage> arrived_;
    bool open_ = true;
    bool closing_ = false;  // the end is known; the messages before it are still handed on
    bool unreadable_ = false;
};

}  // namespace kestrix
