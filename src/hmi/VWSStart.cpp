#include "hmi/VWSStart.h"

#include <QFont>
#include <QPainter>

#include "hmi/HmiRuntime.h"

// The picture lives in this static library, which must register it itself.
static void registerHmiResources() {
    Q_INIT_RESOURCE(hmi);
}

namespace kestrix {

// How a status shows: its line and the colour of its light.
struct VWSStart::Status {
    const char* text;
    QRgb light;
};

namespace {

constexpr QRgb Green = 0x3fb950;
constexpr QRgb Amber = 0xf2b705;
constexpr QRgb Red = 0xe5534b;
constexpr QRgb Grey = 0x56606e;

// Where the status sits on the 522 × 319 picture, below its "HMI RUNTIME", in picture pixels.
constexpr QPoint LineBaseline{24, 281};
constexpr QPoint LightCentre{490, 262};
constexpr int LightRadius = 6;
constexpr QRgb LineColour = 0x7a8593;
constexpr int LinePixelSize = 11;

}  // namespace

VWSStart::VWSStart(HmiRuntime& runtime, QWidget* parent)
    : QWidget(parent), runtime_(runtime), text_(QStringLiteral("Kestrix")) {
    registerHmiResources();
    splash_.load(QStringLiteral(":/hmi/splash.png"));
    setMinimumSize(splash_.size());

    connect(&runtime_, &HmiRuntime::startResult, this, [this](bool started) {
        showStatus(started ? Status{"running", Green} : Status{"start failed", Red});
        emit StartResult(started);
    });
    connect(&runtime_, &HmiRuntime::runtimeEnded, this, [this] {
        showStatus({"stopped", Grey});
        emit RuntimeEnded();
    });

    QMetaObject::invokeMethod(
        this,
        [this] {
            showStatus({"starting, please wait ...", Green});
            runtime_.start();
        },
        Qt::QueuedConnection);
}

void VWSStart::StopRuntime() {
    showStatus({"stopping, please wait ...", Amber});
    runtime_.requestStop();
}

void VWSStart::showStatus(const Status& status) {
    statusText_ = QString::fromLatin1(status.text);
    statusLight_ = status.light;
    update();
    emit StatusText(statusText_);
}

void VWSStart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), splash_);
    if (statusText_.isEmpty() || splash_.isNull()) {
        return;
    }
    // Drawn in the picture's own pixels, scaled with it.
    painter.scale(width() / static_cast<double>(splash_.width()),
                  height() / static_cast<double>(splash_.height()));
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(LinePixelSize);
    painter.setFont(font);
    painter.setPen(QColor(LineColour));
    painter.drawText(LineBaseline, statusText_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(statusLight_));
    painter.drawEllipse(LightCentre, LightRadius, LightRadius);
}

}  // namespace kestrix
