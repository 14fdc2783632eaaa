#pragma once

#include <QString>

namespace kestrix {

// The runtime's record of what happened to it, one line per event ("started", "subscribe NAME",
// "set NAME VALUE", "language LCID", "stop-request", "ended"; "shell-gone PID" when the shell that
// launched it is gone, "replaced PID" when it took over from a runtime of a shell that is gone,
// "refused user UID process PID" for a connection of another user; "hanging" when it plays a hung
// runtime). Each line is appended and the file closed at once, so a reader sees it immediately and
// a dying runtime loses nothing written.
class Journal {
public:
    explicit Journal(QString path);

    const QString& path() const { return path_; }
    void write(const QString& line);

private:
    QString path_;
    bool failureReported_ = false;
};

}  // namespace kestrix
