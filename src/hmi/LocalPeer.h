#pragma once

#include <sys/types.h>

#include <QtGlobal>
#include <optional>

namespace kestrix {

// Who is at the other end of a connected local socket, as the system vouches for it: the process
// that connected, or, seen from a client, the process that listens.
struct LocalPeer {
    pid_t pid = 0;
    uid_t uid = 0;
};

// The peer of the connected socket with this descriptor; nothing when the system cannot say.
std::optional<LocalPeer> localPeerOf(qintptr socketDescriptor);

// True when the peer runs as the same user as this process.
bool isOfThisUser(const LocalPeer& peer);

}  // namespace kestrix
