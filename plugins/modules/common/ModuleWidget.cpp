#include "ModuleWidget.h"

#include <kestrix/ScreenTwips.h>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ModuleStyle.h"
#include "Reading.h"

namespace kestrix {

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

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panel"));
    panel->setStyleSheet(ModuleStyle::panelSheet());

    kindLabel_->setObjectName(QStringLiteral("kindLabel"));
    identityLabel_->setObjectName(QStringLiteral("identityLabel"));
    identityLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* header = new QFrame(panel);
    header->setStyleSheet(ModuleStyle::headerSheet());
    header->setFixedHeight(22);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->addWidget(kindLabel_);
    headerLayout->addStretch();
    headerLayout->addWidget(identityLabel_);

    readings_->setSpacing(8);
    buttons_->setSpacing(4);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(8, 4, 8, 6);
    body->setSpacing(12);
    body->addLayout(readings_, 1);
    body->addLayout(buttons_);

    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->setSpacing(0);
    panelLayout->addWidget(header);
    panelLayout->addLayout(body, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);

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
    readings_->addWidget(reading, 1);
    return reading;
}

QPushButton* ModuleWidget::addButton(const QString& text, const QString& objectName) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(objectName);
    button->setStyleSheet(ModuleStyle::buttonSheet());
    button->setFocusPolicy(Qt::NoFocus);
    buttons_->addWidget(button);
    return button;
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
