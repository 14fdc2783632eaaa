#pragma once

#include <QString>

namespace kestrix {

// Where the HMI runtime and its clients meet. The runtime and every client (the shell,
// `kestrix-hmi set` and the others) take the paths from here, so that they always meet:
//   socket   $KESTRIX_HMI_SOCKET, an absolute path or a name in the private runtime folder
//            (privateRuntimeFolder()); else "kestrix-hmi" in that folder
//   journal  $KESTRIX_HMI_JOURNAL, else beside the socket, named after it with ".journal"
//   lock     beside the socket, named after it with ".lock"; held by the runtime that serves it
// The socket's folder must be private (whyNotPrivate()), also when $KESTRIX_HMI_SOCKET names it:
// no other user may reach the socket or put one of their own in its place.
struct HmiPaths {
    QString socket;
    QString journal;
    QString lock;
    // Why the runtime cannot be reached safely; empty when the paths may be used.
    QString error;

    bool isUsable() const { return error.isEmpty(); }
};

HmiPaths hmiPaths();

}  // namespace kestrix
