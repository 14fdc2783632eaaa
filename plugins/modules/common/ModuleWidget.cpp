#include "ModuleWidget.h"

#include <kestrix/ScreenTwips.h>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "ModuleButton.h"
#include "ModuleStyle.h"
#include "Reading.h"

namespace kestrix {

namespace {
// The identity labels' text stands this far inside the strip, on each side and above and below.
constexpr int HeaderPaddingX = 6;
constexpr int HeaderPaddingY = 1;
}  // namespace

ModuleWidget::ModuleWidget(const QString& kindCaption, int heightTwips, QWidget* parent)
    : QWidget(parent),
      kindCaption_(kindCaption),
      heightTwips_(heightTwips),
      kindLabel_(new QLabel(this)),
      identityLabel_(new QLabel(this)),
      readings_(new QHBoxLayout),
      buttons_(new QVBoxLayout) {
    // The host stacks modules by AbsoluteHoehe; the widget keeps exactly that height and takes
    // whatever width the host gives it.
    setFixedHeight(ScreenTwips::ofPrimaryScreen().toPixelsY(heightTwips_));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    // The module paints its panel and identity strip itself (paintEvent); its children are the
    // two identity labels, the readings and the buttons.
    setAttribute(Qt::WA_OpaquePaintEvent);
    kindLabel_->setObjectName(QStringLiteral("kindLabel"));
    identityLabel_->setObjectName(QStringLiteral("identityLabel"));
    identityLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QFont headerFont = ModuleStyle::headerFont(font());
    for (QLabel* label : {kindLabel_, identityLabel_}) {
        label->setFont(headerFont);
        label->setTextFormat(Qt::PlainText);
        ModuleStyle::setTextInset(label, HeaderPaddingX, HeaderPaddingY, HeaderPaddingY);
        label->setFixedHeight(ModuleStyle::HeaderHeight - 2 * HeaderPaddingY);
        ModuleStyle::setTextColour(label, ModuleStyle::HeaderText);
    }
    auto* header = new QHBoxLayout;
    header->setContentsMargins(HeaderPaddingX, HeaderPaddingY, HeaderPaddingX, HeaderPaddingY);
    header->setSpacing(0);
    header->addWidget(kindLabel_);
    header->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Fixed));
    header->addWidget(identityLabel_);

    readings_->setSpacing(8);
    buttons_->setSpacing(4);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(8, 4, 8, 6);
    body->setSpacing(12);
    body->addLayout(readings_, 1);
    body->addLayout(buttons_);
    // The body takes the panel's whole height below the strip; the buttons spread over it.
    body->addItem(new QSpacerItem(0, 0, QSizePolicy::Fixed, QSizePolicy::Expanding));

    auto* panel = new QVBoxLayout(this);
    panel->setContentsMargins(ModuleStyle::PanelInset, ModuleStyle::PanelInset,
                              ModuleStyle::PanelInset, ModuleStyle::PanelInset);
    panel->setSpacing(0);
    panel->addLayout(header);
    panel->addLayout(body, 1);

    simulation_.setInterval(SimulationIntervalMs);
    connect(&simulation_, &QTimer::timeout, this, &ModuleWidget::simulationTick);
    showIdentity();
}

void ModuleWidget::Init(short unit, short machine, const QString& machineName, bool /*value*/) {
    unit_ = unit;
    machine_ = machine;
    machineName_ = machineName;
    initialised_ = true;
    showIdentity();
    // A module that was already terminated stays stopped.
    if (!terminated_) {
        simulation_.start();
    }
}

void ModuleWidget::Refresh(bool /*value*/) {
    showReadings();
    update();
}

void ModuleWidget::Terminate(bool value) {
    if (!value) {
        return;
    }
    terminated_ = true;
    simulation_.stop();
    for (auto* button : findChildren<QPushButton*>()) {
        button->setEnabled(false);
    }
    showIdentity();
}

Reading* ModuleWidget::addReading(const QString& caption, const QString& objectName) {
    auto* reading = new Reading(caption, objectName, this);
    readings_->addWidget(reading, 1, Qt::AlignTop);
    return reading;
}

QPushButton* ModuleWidget::addButton(const QString& text, const QString& objectName) {
    auto* button = new ModuleButton(text, this);
    button->setObjectName(objectName);
    buttons_->addWidget(button);
    return button;
}

// The panel: slate inside a one-pixel dark line, the identity strip across its top.
void ModuleWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    ModuleStyle::paintBox(painter, rect(), ModuleStyle::Panel, ModuleStyle::PanelBorder);
    painter.fillRect(ModuleStyle::PanelInset, ModuleStyle::PanelInset,
                     width() - 2 * ModuleStyle::PanelInset, ModuleStyle::HeaderHeight,
                     ModuleStyle::HeaderStrip);
}

void ModuleWidget::showIdentity() {
    if (!initialised_) {
        kindLabel_->setText(kindCaption_);
        identityLabel_->setText(tr("not initialised"));
        return;
    }
    kindLabel_->setText(tr("%1 %2").arg(kindCaption_).arg(unit_));
    QString identity = tr("Machine %1  %2").arg(machine_).arg(machineName_);
    if (terminated_) {
        identity += tr("  (stopped)");
    }
    identityLabel_->setText(identity);
}

void ModuleWidget::simulationTick() {
    advance();
    showReadings();
}

}  // namespace kestrix
