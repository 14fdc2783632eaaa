#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "files/OpenFile.h"

class QLocalServer;

namespace kestrix {

// One shell per line and operator session. The line is known by its runtime's socket (the
// private runtime folder's "kestrix-hmi", or KESTRIX_HMI_SOCKET): beside it the running shell
// holds a lock ("<socket>.shell.lock") and listens on a socket of its own ("<socket>.shell").
// A second start finds the lock held, asks the running shell over that socket to raise its
// window, and ends without touching the runtime. Only the same user is answered or asked.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Ours,       // no shell runs for this line: this one is it
        Running,    // a shell runs for this line already
        Unchecked,  // the runtime's folder cannot be used: the start fails there anyway
    };

    SingleInstance();
    ~SingleInstance() override;

    // Takes the lock, before anything else of the line starts. Needs no application object.
    Claim claim();

    // Asks the running shell to raise its window; true when it answered that it did.
    bool askRunningToRaise() const;

    // Once claimed: raises the window through `raise` whenever a later start asks.
    void serve(std::function<void()> raise);

private:
    void answer();

    QString socketPath_;
    OpenFile lock_;
    QLocalServer* server_ = nullptr;
    std::function<void()> raise_;
};

}  // namespace kestrix
