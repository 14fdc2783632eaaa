#include "app/LogView.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace kestrix {

LogView::LogView(QString path, QWidget* operatorWindow)
    : QWidget(operatorWindow, Qt::Window), path_(std::move(path)), text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("LogView"));
    setWindowTitle(QStringLiteral("Kestrix log: %1").arg(path_));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    resize(900, 500);
    follow_.setInterval(FollowIntervalMs);
    connect(&follow_, &QTimer::timeout, this, &LogView::readLog);
}

void LogView::showInFront() {
    show();
    raise();
    activateWindow();
    readSize_ = -1;
    readLog();
    follow_.start();
}

void LogView::hideEvent(QHideEvent* event) {
    follow_.stop();
    QWidget::hideEvent(event);
}

// The log's lines are single-byte text ending in CR LF. A view cut from the middle of the log
// starts at its next whole line.
void LogView::readLog() {
    const QFileInfo log(path_);
    if (log.size() == readSize_ && log.lastModified() == readModified_) {
        return;
    }
    readSize_ = log.size();
    readModified_ = log.lastModified();
    QFile file(path_);
    QString text;
    if (!file.open(QIODevice::ReadOnly)) {
        text = QStringLiteral("The log %1 cannot be read: %2").arg(path_, file.errorString());
    } else {
        const qint64 start = std::max<qint64>(0, file.size() - ShownBytes);
        file.seek(start);
        QByteArray bytes = file.readAll();
        if (start > 0) {
            bytes.remove(0, bytes.indexOf('\n') + 1);
        }
        bytes.replace("\r\n", "\n");
        if (bytes.endsWith('\n')) {
            bytes.chop(1);
        }
        text = QString::fromLatin1(bytes);
    }
    QScrollBar* scroll = text_->verticalScrollBar();
    const bool atBottom = scroll->value() == scroll->maximum();
    const int position = scroll->value();
    text_->setPlainText(text);
    if (atBottom) {
        text_->moveCursor(QTextCursor::End);
        scroll->setValue(scroll->maximum());
    } else {
        scroll->setValue(position);
    }
}

}  // namespace kestrix
