#include "isolation/ModuleChannel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QtEndian>
#include <cerrno>

namespace kestrix {

ModuleChannel::ModuleChannel(int descriptor, QObject* parent)
    : QObject(parent),
      descriptor_(descriptor),
      readable_(descriptor, QSocketNotifier::Read),
      writable_(descriptor, QSocketNotifier::Write) {
    fcntl(descriptor_, F_SETFL, fcntl(descriptor_, F_GETFL) | O_NONBLOCK);
    writable_.setEnabled(false);
    connect(&readable_, &QSocketNotifier::activated, this, &ModuleChannel::readAvailable);
    connect(&writable_, &QSocketNotifier::activated, this, [this] {
        if (!writeWaiting()) {
            close(false);
        }
    });
    // Bytes that arrived before the socket was taken over are read at the first turn of the loop.
    QMetaObject::invokeMethod(this, &ModuleChannel::readAvailable, Qt::QueuedConnection);
}

ModuleChannel::~ModuleChannel() {
    closeDescriptor();
}

// What the socket does not take at once is written as it drains, in order.
void ModuleChannel::send(const ModuleMessage& message) {
    if (open_ && !closing_) {
        waitingToBeWritten_.append(message.framed());
        if (!writeWaiting()) {
            close(false);
        }
    }
}

bool ModuleChannel::writeWaiting() {
    while (!waitingToBeWritten_.isEmpty()) {
        const ssize_t written =
            ::send(descriptor_, waitingToBeWritten_.constData(),
                   static_cast<size_t>(waitingToBeWritten_.size()), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        if (written < 0) {
            return false;
        }
        waitingToBeWritten_.remove(0, written);
    }
    writable_.setEnabled(!waitingToBeWritten_.isEmpty());
    return true;
}

void ModuleChannel::readAvailable() {
    if (closing_ || descriptor_ < 0) {
        return;
    }
    const bool ended = readWhatIsThere();
    if (!takeFrames()) {
        close(true);
        return;
    }
    if (ended) {
        close(false);
        return;
    }
    if (!arrived_.empty()) {
        scheduleHandOn();
    }
}

// Reads all that is there into the buffer; whether the other end has closed (a read of zero
// bytes) or the socket failed.
bool ModuleChannel::readWhatIsThere() {
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(descriptor_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }
}

bool ModuleChannel::takeFrames() {
    qsizetype start = 0;
    bool readable = true;
    while (buffer_.size() - start >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer_.constData() + start);
        if (length > ModuleMessage::MaxLength) {
            readable = false;
            break;
        }
        if (buffer_.size() - start - 4 < static_cast<qsizetype>(length)) {
            break;
        }
        std::optional<ModuleMessage> message =
            ModuleMessage::read(buffer_.mid(start + 4, static_cast<qsizetype>(length)));
        if (!message) {
            readable = false;
            break;
        }
        arrived_.push_back(std::move(*message));
        start += 4 + static_cast<qsizetype>(length);
    }
    buffer_.remove(0, start);
    return readable;
}

// The hand-on runs at a turn of the event loop, never inside the socket's notification. Each
// arrival posts one, also while an earlier one still waits to run: a hand-on posted before a
// handler began to wait in a nested loop may run only when something new is posted there.
void ModuleChannel::scheduleHandOn() {
    QMetaObject::invokeMethod(this, &ModuleChannel::handOn, Qt::QueuedConnection);
}

// A handler that waits in a nested loop lets a later hand-on take the later messages; a hand-on
// that finds nothing left does nothing.
void ModuleChannel::handOn() {
    while (open_ && !arrived_.empty()) {
        const ModuleMessage message = std::move(arrived_.front());
        arrived_.pop_front();
        Q_EMIT Received(message);
    }
    if (open_ && closing_ && arrived_.empty()) {
        open_ = false;
        Q_EMIT Closed(unreadable_);
    }
}

// What arrived before the end is still handed on: an answer may precede an exit.
void ModuleChannel::close(bool unreadable) {
    if (closing_) {
        return;
    }
    if (!unreadable && descriptor_ >= 0) {
        readWhatIsThere();
        unreadable = !takeFrames();
    }
    closing_ = true;
    unreadable_ = unreadable;
    closeDescriptor();
    scheduleHandOn();
}

void ModuleChannel::closeDescriptor() {
    if (descriptor_ >= 0) {
        readable_.setEnabled(false);
        writable_.setEnabled(false);
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

}  // namespace kestrix
