#include "isolation/ModuleChannel.h"

#include <QtEndian>

namespace kestrix {

ModuleChannel::ModuleChannel(int descriptor, QObject* parent) : QObject(parent) {
    socket_.setSocketDescriptor(descriptor, QLocalSocket::ConnectedState, QIODevice::ReadWrite);
    connect(&socket_, &QLocalSocket::readyRead, this, &ModuleChannel::readAvailable);
    connect(&socket_, &QLocalSocket::disconnected, this, [this] { close(false); });
    // Bytes that arrived before the socket was taken over are read at the first turn of the loop.
    QMetaObject::invokeMethod(this, &ModuleChannel::readAvailable, Qt::QueuedConnection);
}

void ModuleChannel::send(const ModuleMessage& message) {
    if (open_ && !closing_) {
        socket_.write(message.framed());
        socket_.flush();
    }
}

void ModuleChannel::readAvailable() {
    if (closing_ || socket_.bytesAvailable() <= 0) {
        return;
    }
    buffer_.append(socket_.readAll());
    if (!takeFrames()) {
        close(true);
        return;
    }
    if (!arrived_.empty()) {
        scheduleHandOn();
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

// The hand-on runs at a turn of the event loop, never inside the socket's notification, which Qt
// does not repeat while it runs.
void ModuleChannel::scheduleHandOn() {
    if (!handOnScheduled_) {
        handOnScheduled_ = true;
        QMetaObject::invokeMethod(this, &ModuleChannel::handOn, Qt::QueuedConnection);
    }
}

// A handler that waits in a nested loop lets the next scheduled hand-on take the later messages.
void ModuleChannel::handOn() {
    handOnScheduled_ = false;
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
    if (!unreadable && socket_.bytesAvailable() > 0) {
        buffer_.append(socket_.readAll());
        unreadable = !takeFrames();
    }
    closing_ = true;
    unreadable_ = unreadable;
    socket_.abort();
    scheduleHandOn();
}

}  // namespace kestrix
