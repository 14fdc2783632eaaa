// Each module kind's simulated process, stepped directly: the conditions that raise the kinds'
// events, how often they can be raised, and what the operator's buttons change.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <vector>

#include "TestApplication.h"
#include "csi/CsiModule.h"
#include "dirtyfilter/DirtyFilterModule.h"
#include "ocr/OcrModule.h"
#include "stamp/StampModule.h"
#include "stampboxer/StampBoxerModule.h"
#include "tarvo/TarvoModule.h"
#include "topfold/TopFoldModule.h"
#include "xmelt/XmeltModule.h"

namespace kestrix {
namespace {

// A module whose simulation the test steps by hand instead of the once-a-second timer.
template <class Module>
class Stepped : public Module {
public:
    void step(int times = 1) {
        for (int i = 0; i < times; ++i) {
            this->advance();
        }
    }
    void press(const char* button) {
        this->template findChild<QPushButton*>(QLatin1String(button))->click();
    }
    QString shown(const char* reading) const {
        return this->template findChild<QLabel*>(QLatin1String(reading))->text();
    }
};

class ModuleSimulationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_F(ModuleSimulationTest, HotMeltTankRaisesOneTemperatureAlarmPerDropBelowTheLimit) {
    Stepped<XmeltModule> tank;
    std::vector<double> alarms;
    QObject::connect(&tank, &XmeltModule::TemperatureAlarm,
                     [&](double celsius) { alarms.push_back(celsius); });

    tank.step(100);
    EXPECT_TRUE(alarms.empty()) << "the heated tank holds its set point";

    tank.press("heatingButton");
    tank.step(100);
    ASSERT_EQ(alarms.size(), 1u) << "one alarm however long the glue stays cold";
    EXPECT_LT(alarms[0], XmeltModule::AlarmBelowCelsius);
    EXPECT_LT(tank.temperature(), alarms[0]);

    tank.press("heatingButton");
    tank.step(200);
    EXPECT_DOUBLE_EQ(tank.temperature(), XmeltModule::SetPointCelsius);
    tank.press("heatingButton");
    tank.step(100);
    EXPECT_EQ(alarms.size(), 2u) << "a new drop below the limit is a new alarm";
}

TEST_F(ModuleSimulationTest, HotMeltTankRefillReportsTheLevelAndFillsTheTank) {
    Stepped<XmeltModule> tank;
    std::vector<int> requests;
    QObject::connect(&tank, &XmeltModule::RefillRequested,
                     [&](int level) { requests.push_back(level); });
    tank.step(200);
    double drained = tank.level();
    ASSERT_LT(drained, 78.0);

    tank.press("refillButton");
    tank.step(50);

    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], static_cast<int>(drained));
    EXPECT_GT(tank.level(), 90.0);
    EXPECT_LE(tank.level(), 95.0);
}

TEST_F(ModuleSimulationTest, OcrNoReadRaisesReadFailedWithTheLastGoodText) {
    Stepped<OcrModule> ocr;
    std::vector<QString> failures;
    QObject::connect(&ocr, &OcrModule::ReadFailed,
                     [&](const QString& text) { failures.push_back(text); });

    ocr.step(OcrModule::NoReadEvery - 1);
    EXPECT_TRUE(failures.empty());
    ocr.step();

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], QStringLiteral("L2405 000999"));
    EXPECT_EQ(ocr.noReads(), 1);
    EXPECT_EQ(ocr.reads(), OcrModule::NoReadEvery - 1);
    EXPECT_EQ(ocr.shown("noReads"), QStringLiteral("1"));

    int resets = 0;
    QObject::connect(&ocr, &OcrModule::CountersReset, [&] { ++resets; });
    ocr.press("resetButton");
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(ocr.reads() + ocr.noReads(), 0);
}

// The three inspection kinds share their counters; each runs at its own rate.
template <class Module>
void expectRejectLimitOncePerReset() {
    Stepped<Module> inspection;
    std::vector<int> limits;
    int resets = 0;
    QObject::connect(&inspection, &InspectionModule::RejectLimitReached,
                     [&](int rejects) { limits.push_back(rejects); });
    QObject::connect(&inspection, &InspectionModule::CountersReset, [&] { ++resets; });

    int steps = 0;
    while (inspection.rejects() < InspectionModule::RejectLimit && steps < 100'000) {
        EXPECT_TRUE(limits.empty());
        inspection.step();
        ++steps;
    }
    ASSERT_EQ(limits.size(), 1u);
    EXPECT_EQ(limits[0], inspection.rejects());
    EXPECT_GT(steps, 3600) << "the limit comes only after an hour of running";
    inspection.step(1000);
    EXPECT_EQ(limits.size(), 1u);

    inspection.press("resetButton");
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(inspection.good() + inspection.rejects(), 0);
    EXPECT_EQ(inspection.shown("rejected"), QStringLiteral("0"));
    inspection.step(steps);
    EXPECT_EQ(limits.size(), 2u);
}

TEST_F(ModuleSimulationTest, InspectionSystemsRaiseTheRejectLimitOncePerReset) {
    expectRejectLimitOncePerReset<StampModule>();
    expectRejectLimitOncePerReset<StampBoxerModule>();
    expectRejectLimitOncePerReset<CsiModule>();
}

TEST_F(ModuleSimulationTest, BoxerEjectsTheLastBoxInspected) {
    Stepped<StampBoxerModule> boxer;
    std::vector<int> ejected;
    QObject::connect(&boxer, &StampBoxerModule::BoxEjectRequested,
                     [&](int box) { ejected.push_back(box); });
    boxer.step(7);

    boxer.press("ejectButton");

    EXPECT_EQ(ejected, std::vector<int>{boxer.lastBox()});
    EXPECT_EQ(boxer.shown("lastBox"), QString::number(boxer.lastBox()));
}

TEST_F(ModuleSimulationTest, DirtyFilterReportsOnceUntilCleaned) {
    Stepped<DirtyFilterModule> filter;
    std::vector<int> dirty;
    int cleaned = 0;
    QObject::connect(&filter, &DirtyFilterModule::FilterDirty,
                     [&](int percent) { dirty.push_back(percent); });
    QObject::connect(&filter, &DirtyFilterModule::FilterCleaned, [&] { ++cleaned; });

    filter.step(20'000);
    ASSERT_EQ(dirty.size(), 1u);
    EXPECT_GE(dirty[0], static_cast<int>(DirtyFilterModule::CleaningLimitPercent));

    filter.press("cleanedButton");
    EXPECT_EQ(cleaned, 1);
    EXPECT_DOUBLE_EQ(filter.contamination(), 0.0);
    EXPECT_EQ(filter.shown("intensity"), QStringLiteral("100 %"));
    filter.step(20'000);
    EXPECT_EQ(dirty.size(), 2u);
}

TEST_F(ModuleSimulationTest, PausedTarvoHandlesNoPacks) {
    Stepped<TarvoModule> tarvo;
    std::vector<bool> changes;
    QObject::connect(&tarvo, &TarvoModule::PauseChanged,
                     [&](bool paused) { changes.push_back(paused); });
    tarvo.step(5);
    int packs = tarvo.packs();
    EXPECT_EQ(packs, 5 * TarvoModule::PacksPerStep);

    tarvo.press("pauseButton");
    tarvo.step(5);
    EXPECT_EQ(tarvo.packs(), packs);
    EXPECT_EQ(tarvo.shown("rate"), QStringLiteral("0 /min"));
    tarvo.press("pauseButton");
    tarvo.step();

    EXPECT_EQ(tarvo.packs(), packs + TarvoModule::PacksPerStep);
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
}

TEST_F(ModuleSimulationTest, TopFoldCountsOpenFlapsAndResets) {
    Stepped<TopFoldModule> topFold;
    int resets = 0;
    QObject::connect(&topFold, &TopFoldModule::CountersReset, [&] { ++resets; });

    topFold.step(TopFoldModule::OpenFlapEvery);  // FoldsPerStep × as many folds
    EXPECT_EQ(topFold.openFlaps(), TopFoldModule::FoldsPerStep);

    topFold.press("resetButton");
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(topFold.folds() + topFold.openFlaps(), 0);
}

TEST_F(ModuleSimulationTest, ModuleIgnoresTerminateFalseAndStopsOnTerminateTrue) {
    Stepped<TarvoModule> tarvo;
    tarvo.Init(1, 2, QStringLiteral("Line B"), true);
    tarvo.Terminate(false);
    EXPECT_FALSE(tarvo.isTerminated());
    EXPECT_TRUE(tarvo.findChild<QPushButton*>(QStringLiteral("pauseButton"))->isEnabled());

    tarvo.Terminate(true);
    EXPECT_TRUE(tarvo.isTerminated());
    EXPECT_FALSE(tarvo.findChild<QPushButton*>(QStringLiteral("pauseButton"))->isEnabled());
    EXPECT_TRUE(tarvo.findChild<QLabel*>(QStringLiteral("identityLabel"))
                    ->text()
                    .contains(QStringLiteral("stopped")));
}

}  // namespace
}  // namespace kestrix
