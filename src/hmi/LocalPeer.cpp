#include "hmi/LocalPeer.h"

#include <sys/socket.h>
#include <unistd.h>

namespace kestrix {

std::optional<LocalPeer> localPeerOf(qintptr socketDescriptor) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (socketDescriptor < 0 || ::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET,
                                             SO_PEERCRED, &credentials, &size) != 0) {
        return std::nullopt;
    }
    return LocalPeer{credentials.pid, credentials.uid};
}

bool isOfThisUser(const LocalPeer& peer) {
    return peer.uid == ::getuid();
}

}  // namespace kestrix
