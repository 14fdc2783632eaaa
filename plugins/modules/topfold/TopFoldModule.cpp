#include "TopFoldModule.h"

#include <QPushButton>

#include "common/Reading.h"

namespace kestrix {

TopFoldModule::TopFoldModule(QWidget* parent)
    : ModuleWidget(tr("Top-fold system"), HeightTwips, parent),
      foldsReading_(addReading(tr("Folds"), QStringLiteral("folds"))),
      openFlapsReading_(addReading(tr("Open flaps"), QStringLiteral("openFlaps"))),
      pressureReading_(addReading(tr("Glue pressure"), QStringLiteral("gluePressure"))) {
    auto* reset = addButton(tr("Reset counters"), QStringLiteral("resetButton"));
    connect(reset, &QPushButton::clicked, this, &TopFoldModule::resetCounters);
    showReadings();
}

void TopFoldModule::advance() {
    ++steps_;
    for (int i = 0; i < FoldsPerStep; ++i) {
        ++folds_;
        if (folds_ % OpenFlapEvery == 0) {
            ++openFlaps_;
        }
    }
}

void TopFoldModule::showReadings() {
    foldsReading_->setValue(QString::number(folds_));
    openFlapsReading_->setValue(QString::number(openFlaps_));
    pressureReading_->setValue(QStringLiteral("%1 bar").arg(gluePressureBar(), 0, 'f', 2));
}

void TopFoldModule::resetCounters() {
    folds_ = 0;
    openFlaps_ = 0;
    showReadings();
    emit CountersReset();
}

// The glue pump's pressure swings a little around 2.5 bar with its stroke.
double TopFoldModule::gluePressureBar() const {
    return 2.5 + 0.02 * ((steps_ % 5) - 2);
}

}  // namespace kestrix
