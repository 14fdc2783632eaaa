#pragma once

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPlainTextEdit;

namespace kestrix {

// The shell's own read-only view of its log, for "Log File" on a line PC without a text editor:
// the log's newest lines with the newest at the bottom, followed as the log grows. The log is read
// again each second when it has changed (a reduction, which puts a new file in the log's place,
// too); a view scrolled to the bottom stays there, one scrolled up keeps its place.
class LogView : public QWidget {
    Q_OBJECT
public:
    static constexpr int FollowIntervalMs = 1000;
    // The view shows this much of the log's end; the log itself is kept small by its size limit.
    static constexpr qint64 ShownBytes = qint64{1} << 20;

    // A window of its own that stays in front of the operator window and goes with it.
    LogView(QString path, QWidget* operatorWindow);

    const QString& path() const { return path_; }
    // Reads the log and shows the view in front.
    void showInFront();

protected:
    // A closed view reads no more.
    void hideEvent(QHideEvent* event) override;

private:
    void readLog();

    QString path_;
    QPlainTextEdit* text_;
    QTimer follow_{this};
    // What was read last, to read again only when the log has changed.
    qint64 readSize_ = -1;
    QDateTime readModified_;
};

}  // namespace kestrix
