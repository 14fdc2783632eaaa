#include "HolvigScrollBar.h"

#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrix {
namespace {

constexpr double HimetricPerInch = 2540.0;

int pixelsOfHimetric(int himetric, int dotsPerInch) {
    return qRound(himetric * dotsPerInch / HimetricPerInch);
}

}  // namespace

HolvigScrollBar::HolvigScrollBar(QWidget* parent)
    : QWidget(parent), bar_(new QScrollBar(Qt::Vertical, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    setRichtung(richtung_);
    setRahmenstaerke(rahmenstaerke_);
    applyRange();
    applyExtent();
    connect(bar_, &QScrollBar::valueChanged, this, &HolvigScrollBar::onMoved);
}

void HolvigScrollBar::setExtentX(int himetric) {
    extentX_ = himetric;
    applyExtent();
}

void HolvigScrollBar::setExtentY(int himetric) {
    extentY_ = himetric;
    applyExtent();
}

void HolvigScrollBar::setRichtung(short richtung) {
    richtung_ = richtung;
    bar_->setOrientation(richtung == 0 ? Qt::Vertical : Qt::Horizontal);
    // The bar fills the control inside its frame, across as well as along.
    bar_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HolvigScrollBar::setRahmenstaerke(short pixels) {
    rahmenstaerke_ = pixels;
    int margin = std::max<int>(0, pixels);
    layout()->setContentsMargins(margin, margin, margin, margin);
    update();
}

void HolvigScrollBar::setMinimum(short minimum) {
    minimum_ = minimum;
    applyRange();
}

void HolvigScrollBar::setMaximum(short maximum) {
    maximum_ = maximum;
    applyRange();
}

void HolvigScrollBar::setPageSize(short pixels) {
    pageSize_ = pixels;
    applyRange();
}

void HolvigScrollBar::setPosition(short position) {
    bar_->setValue(position);
}

void HolvigScrollBar::applyExtent() {
    resize(pixelsOfHimetric(extentX_, logicalDpiX()), pixelsOfHimetric(extentY_, logicalDpiY()));
}

// The last position shows the last page: positions minimum .. maximum - page size + minimum.
// A position that no longer fits moves to the new end, and is reported like any other move.
void HolvigScrollBar::applyRange() {
    int page = std::max<int>(1, pageSize_);
    int lastPosition = std::max<int>(minimum_, maximum_ - page + minimum_);
    bar_->setRange(minimum_, lastPosition);
    bar_->setPageStep(page);
    bar_->setSingleStep(std::max(1, page / 10));
}

void HolvigScrollBar::onMoved(int newPosition) {
    short oldPosition = position_;
    position_ = static_cast<short>(newPosition);
    Q_EMIT NeuePos(position_, oldPosition, pageSize_);
}

// The frame of rahmenstaerke pixels around the bar.
void HolvigScrollBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().dark());
}

}  // namespace kestrix
