#include "channel/ModuleChannel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDateTime>
#include <QtEndian>
#include <cerrno>

namespace kestrix {

ModuleChannel::ModuleChannel(int descriptor, QObject* parent, int maxMessagesPerSecond)
    : QObject(parent),
      descriptor_(descriptor),
      readable_(descriptor, QSocketNotifier::Read),
      writable_(descriptor, QSocketNotifier::Write),
      maxMessagesPerSecond_(maxMessagesPerSecond) {
    fcntl(descriptor_, F_SETFL, fcntl(descriptor_, F_GETFL) | O_NONBLOCK);
    writable_.setEnabled(false);
    connect(&readable_, &QSocketNotifier::activated, this, &ModuleChannel::readAvailable);
    connect(&writable_, &QSocketNotifier::activated, this, [this] {
        if (!writeWaiting()) {
            close(Ending::Closed);
        }
    });
    // Bytes that arrived before the socket was taken over are read at the first turn of the loop.
    QMetaObject::invokeMethod(this, &ModuleChannel::readAvailable, Qt::QueuedConnection);
}

ModuleChannel::~ModuleChannel() {
    closeDescriptor();
}

void ModuleChannel::shut() {
    closing_ = true;
    open_ = false;
    closeDescriptor();
    arrived_.clear();
    arrivedBytes_ = 0;
    buffer_.clear();
    waitingToBeWritten_.clear();
}

// What the socket does not take at once is written as it drains, in order.
void ModuleChannel::send(const ModuleMessage& message) {
    if (open_ && !closing_) {
        waitingToBeWritten_.append(message.framed());
        if (!writeWaiting()) {
            close(Ending::Closed);
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
    const bool ended = readWithinBudget();
    if (const std::optional<Ending> broken = takeFrames()) {
        close(*broken);
        return;
    }
    if (ended) {
        close(Ending::Closed);
        return;
    }
    // What waits unread is bounded: reading goes on when the hand-on has taken it.
    readable_.setEnabled(unread() < MaxUnread);
    if (!arrived_.empty()) {
        scheduleHandOn();
    }
}

// Reads what is there, at most ReadBudget bytes (the rest at the next turn of the loop); whether
// the other end has closed (a read of zero bytes) or the socket failed.
bool ModuleChannel::readWithinBudget() {
    char chunk[65536];
    for (qsizetype read = 0; read < ReadBudget && unread() < MaxUnread;) {
        const ssize_t got = ::read(descriptor_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, got);
            read += got;
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }
    return false;
}

qsizetype ModuleChannel::unread() const {
    return buffer_.size() + arrivedBytes_;
}

void ModuleChannel::resumeReading() {
    if (!closing_ && descriptor_ >= 0 && !readable_.isEnabled() && unread() < MaxUnread) {
        readable_.setEnabled(true);
        QMetaObject::invokeMethod(this, &ModuleChannel::readAvailable, Qt::QueuedConnection);
    }
}

std::optional<ModuleChannel::Ending> ModuleChannel::takeFrames() {
    qsizetype start = 0;
    std::optional<Ending> broken;
    while (buffer_.size() - start >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer_.constData() + start);
        if (length > MessageBounds::MaxLength) {
            broken = Ending::Unreadable;
            break;
        }
        if (buffer_.size() - start - 4 < static_cast<qsizetype>(length)) {
            break;
        }
        std::optional<ModuleMessage> message =
            ModuleMessage::read(buffer_.mid(start + 4, static_cast<qsizetype>(length)));
        if (!message) {
            broken = Ending::Unreadable;
            break;
        }
        if (!withinRate()) {
            broken = Ending::Flooded;
            break;
        }
        arrivedBytes_ += message->fields.size();
        arrived_.push_back(std::move(*message));
        start += 4 + static_cast<qsizetype>(length);
    }
    buffer_.remove(0, start);
    return broken;
}

bool ModuleChannel::withinRate() {
    if (maxMessagesPerSecond_ <= 0) {
        return true;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - rateWindowStart_ >= 1000 || now < rateWindowStart_) {
        rateWindowStart_ = now;
        messagesInWindow_ = 0;
    }
    return ++messagesInWindow_ <= maxMessagesPerSecond_;
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
        arrivedBytes_ -= message.fields.size();
        resumeReading();
        Q_EMIT received(message);
    }
    if (open_ && closing_ && arrived_.empty()) {
        open_ = false;
        Q_EMIT closed(ending_);
    }
}

// What arrived before the end is still handed on: an answer may precede an exit. A stream that
// ends inside a frame ended unreadable.
void ModuleChannel::close(Ending ending) {
    if (closing_) {
        return;
    }
    if (ending == Ending::Closed && descriptor_ >= 0) {
        readWithinBudget();
        if (const std::optional<Ending> broken = takeFrames()) {
            ending = *broken;
        } else if (!buffer_.isEmpty()) {
            ending = Ending::Unreadable;
        }
    }
    closing_ = true;
    ending_ = ending;
    closeDescriptor();
    buffer_.clear();
    scheduleHandOn();
}

std::optional<ModuleChannel::Ending> ModuleChannel::readToTheEnd() {
    close(Ending::Closed);
    if (ending_ == Ending::Closed) {
        return std::nullopt;
    }
    return ending_;
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
