#pragma once

#include <QString>

namespace kestrix {

// The runtime's record of what happened to it, one line per event ("started", "subscribe NAME",
// "set NAME VALUE", "language LCID", "stop-request", "ended"; "shell-gone PID" when the shell that
// launched it is gone, "replaced PID" when it took over from a runtime of a shell that is gone,
// "refused user UID process PID" for a connection of another user; "hanging" when it plays a hung
// runtime). Each line is appended and the file closed at once, so a reader sees it immediately and
// a dying runtime loses nothing written.
//
// A runtime may run for months: a line that would take the journal past its limit first cuts
// the journal to its newer half (whole lines), so the journal never grows beyond the limit.
class Journal {
public:
    static constexpr qint64 DefaultLimitBytes = 1024 * 1024;

    explicit Journal(QString path, qint64 limitBytes = DefaultLimitBytes);

    const QString& path() const { return path_; }
    void write(const QString& line);

private:
    QString path_;
    qint64 limitBytes_;
    bool failureReported_ = false;
};

}  // namespace kestrix
