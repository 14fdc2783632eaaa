#include "OcrStation.h"

#include <kestrix/ScreenTwips.h>
#include <QGridLayout>

OcrStation::OcrStation(QWidget* parent)
    : QWidget(parent),
      title_(new QLabel(tr("Vision OCR"), this)),
      code_(new QLabel(this)),
      confidence_(new QLabel(this)),
      rejected_(new QLabel(this)) {
    // The shell stacks its modules by AbsoluteHoehe: keep exactly that height.
    setFixedHeight(kestrix::ScreenTwips::ofPrimaryScreen().toPixelsY(HeightTwips));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("OcrStation { background: #243b4a; } QLabel { color: #e8eef2; }"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(title_, 0, 0, 1, 3);
    grid->addWidget(new QLabel(tr("Date code"), this), 1, 0);
    grid->addWidget(new QLabel(tr("Confidence"), this), 1, 1);
    grid->addWidget(new QLabel(tr("Rejected"), this), 1, 2);
    grid->addWidget(code_, 2, 0);
    grid->addWidget(confidence_, 2, 1);
    grid->addWidget(rejected_, 2, 2);

    camera_.setInterval(500);
    connect(&camera_, &QTimer::timeout, this, &OcrStation::readPack);
    showReadings();
}

void OcrStation::Init(short unit, short machine, const QString& machineName, bool /*value*/) {
    title_->setText(tr("Vision OCR %1 — machine %2 %3").arg(unit).arg(machine).arg(machineName));
    if (!terminated_) {
        camera_.start();
    }
}

void OcrStation::Refresh(bool /*value*/) {
    showReadings();
}

void OcrStation::Terminate(bool /*value*/) {
    terminated_ = true;
    camera_.stop();
}

// One pack under the camera. The simulated print fades on the third pack and then on every
// 120th, a read too unsure to accept.
void OcrStation::readPack() {
    ++packs_;
    lastCode_ = QStringLiteral("%1 24-11").arg(packs_, 5, 10, QLatin1Char('0'));
    lastConfidence_ = (packs_ == 3 || packs_ % 120 == 0) ? 41 : 90 + packs_ % 10;
    const bool rejected = lastConfidence_ < ConfidenceLimit;
    rejects_ += rejected ? 1 : 0;
    showReadings();
    if (rejected) {
        emit CodeRejected(lastCode_, lastConfidence_);
    }
}

void OcrStation::showReadings() {
    code_->setText(lastCode_.isEmpty() ? QStringLiteral("—") : lastCode_);
    confidence_->setText(QStringLiteral("%1 %").arg(lastConfidence_));
    rejected_->setText(QString::number(rejects_));
}
