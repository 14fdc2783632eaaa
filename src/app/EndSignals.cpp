#include "app/EndSignals.h"

#include <QSocketNotifier>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix {

namespace {

int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t signalled = 0;

extern "C" void onEndSignal(int number) {
    if (signalled != 0) {
        // The orderly end was asked for before: end now, as the signal would have.
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    signalled = 1;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

void install(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, nullptr);
}

}  // namespace

EndSignals::EndSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0) {
        qWarning("kestrix: TERM and HUP end the program at once: no pipe for them");
        return;
    }
    ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] ssize_t read = ::read(pipeEnds[0], &byte, 1);
        emit received();
    });
    install(SIGTERM, onEndSignal);
    install(SIGHUP, onEndSignal);
}

EndSignals::~EndSignals() {
    install(SIGTERM, SIG_DFL);
    install(SIGHUP, SIG_DFL);
    delete notifier_;
    for (int& end : pipeEnds) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
    signalled = 0;
}

}  // namespace kestrix
