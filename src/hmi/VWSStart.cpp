#include "hmi/VWSStart.h"

#include <QPainter>

#include "hmi/HmiRuntime.h"

// The picture lives in this static library, which must register it itself.
static void registerHmiResources() {
    Q_INIT_RESOURCE(hmi);
}

namespace kestrix {

VWSStart::VWSStart(HmiRuntime& runtime, QWidget* parent)
    : QWidget(parent), runtime_(runtime), text_(QStringLiteral("Kestrix")) {
    registerHmiResources();
    splash_.load(QStringLiteral(":/hmi/splash.png"));
    setMinimumSize(splash_.size());

    connect(&runtime_, &HmiRuntime::startResult, this, [this](bool started) {
        emit StatusText(started ? QStringLiteral("Runtime started")
                                : QStringLiteral("Runtime start failed"));
        emit StartResult(started);
    });
    connect(&runtime_, &HmiRuntime::runtimeEnded, this, [this] {
        emit StatusText(QStringLiteral("Runtime ended"));
        emit RuntimeEnded();
    });

    QMetaObject::invokeMethod(
        this,
        [this] {
            emit StatusText(QStringLiteral("Runtime starting"));
            runtime_.start();
        },
        Qt::QueuedConnection);
}

void VWSStart::StopRuntime() {
    emit StatusText(QStringLiteral("Runtime stopping"));
    runtime_.requestStop();
}

void VWSStart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), splash_);
}

}  // namespace kestrix
