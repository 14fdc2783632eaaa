// PositioniereObjekte, ScrollBar_NeuePos and ScrollenAnzeigen against test controls and a scroll
// bar that records what it is set to.

#include "host_fixture.h"

#include <kestrix/ScrollBarDispIds.h>

#include "host/Extender.h"
#include "host/InProcessControl.h"

#include <QFile>
#include <string>
#include <vector>

namespace kestrix {

// A scroll bar with the dispatch ids of the real one; it records each assignment in order.
class RecordingScrollBar : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_PAGESIZE_DISPID), "pageupdo")
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_RANGEMAX_DISPID), "max")
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_ENABLED_DISPID), "enabled")
    Q_PROPERTY(short max READ maximum WRITE setMaximum)
    Q_PROPERTY(short pageupdo READ pageSize WRITE setPageSize)
    Q_PROPERTY(short position READ position WRITE setPosition)
public:
    using QWidget::QWidget;
    short maximum() const { return 0; }
    short pageSize() const { return 0; }
    short position() const { return 0; }
    void setMaximum(short value) { assignments << QStringLiteral("max=%1").arg(value); }
    void setPageSize(short value) { assignments << QStringLiteral("pageupdo=%1").arg(value); }
    void setPosition(short value) { assignments << QStringLiteral("position=%1").arg(value); }
    void raiseNeuePos(short position) { emit NeuePos(position, 0, 0); }

    QStringList assignments;

Q_SIGNALS:
    void NeuePos(short position, short oldPosition, short pageSize);
};

namespace {

class LayoutTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        scrollBarControl = new RecordingScrollBar(&frame);
        scrollBarControl->resize(38, 526);  // 7890 twips high
        scrollBar = InProcessControl::extend(scrollBarControl, "HolvigScrollBar.ScrollBar",
                                             "ScrollBar", ScreenTwips{});
        host->attach(&pictureHaupt, scrollBar);
    }

    void addModule(int heightTwips, const QString& progId = QStringLiteral("Sized.Module")) {
        controls.registerProgId(progId, FakeControlFactory::Kind::Recording, heightTwips);
        request(progId);
    }

    QWidget frame;
    RecordingScrollBar* scrollBarControl = nullptr;
    Extender* scrollBar = nullptr;
};

TEST_F(LayoutTest, ModulesStackWithAOnePixelGapAndTheScrollBarGetsTheirHeight) {
    addModule(1500);
    addModule(2000);
    addModule(900);
    host->PositioniereObjekte();

    // Tops 0, 1515 and 3530 twips, in whole pixels.
    EXPECT_EQ(controls.control("O1")->y(), 0);
    EXPECT_EQ(controls.control("O2")->y(), 101);
    EXPECT_EQ(controls.control("O3")->y(), 235);
    EXPECT_EQ(host->stackTop(), 4445);
    EXPECT_EQ(pictureHaupt.height(), 295);  // 4430 twips
    EXPECT_EQ(scrollBarControl->assignments, (QStringList{"max=299", "pageupdo=299"}));
    EXPECT_TRUE(scrollBarControl->isEnabled());
    for (const QString name : {"O1", "O2", "O3"}) {
        TestControl* control = controls.control(name);
        EXPECT_FALSE(control->isHidden());
        EXPECT_EQ(control->x(), 0);
        EXPECT_EQ(control->width(), pictureHaupt.width());
    }
    EXPECT_TRUE(faultLines().isEmpty());
}

// One or two layout passes over modules of these heights, every module moved off the left edge
// before the last pass. The second pass goes on from where the first ended; the range maximum is
// the stack in whole pixels, rounded down, plus 3; the page is the visible 526 pixels, capped to
// the range only when the stack is shorter; each slot number above 20 costs six fault lines.
struct LayoutCase {
    const char* name;
    std::vector<int> heights;  // twips, one module per request
    int passes;
    std::vector<int> tops;  // of the created modules after the last pass, in pixels
    int stackTop;
    QStringList scrollBar;  // the last pass's assignments
    int faultLines;         // of the last pass
};

void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << c.name;
}

class LayoutPassTest : public LayoutTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutPassTest, StacksFromStackTopAndSetsTheScrollBarFromTheStack) {
    const LayoutCase& c = GetParam();
    for (const int height : c.heights) {
        addModule(height, QStringLiteral("Sized.Module%1").arg(height));
    }
    for (int pass = 1; pass <= c.passes; ++pass) {
        if (pass == c.passes) {
            for (const auto& control : controls.controls) {
                control->move(50, control->y());
            }
            QFile::remove(log.LogDateiName);
            scrollBarControl->assignments.clear();
        }
        host->PositioniereObjekte();
    }
    std::vector<int> tops;
    for (const auto& control : controls.controls) {
        tops.push_back(control->y());
        EXPECT_EQ(control->x(), 0) << control->label.toStdString();
    }
    EXPECT_EQ(tops, c.tops);
    EXPECT_EQ(host->stackTop(), c.stackTop);
    EXPECT_EQ(scrollBarControl->assignments, c.scrollBar);
    const QStringList faults = faultLines();
    EXPECT_EQ(faults.size(), c.faultLines);
    for (const QString& fault : faults) {
        EXPECT_TRUE(fault.startsWith("Fault 9; ") && fault.endsWith("; KX.PositioniereObjekte"))
            << fault.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stacks, LayoutPassTest,
    ::testing::Values(
        // 1523 twips are 101.53 pixels: 101 + 3.
        LayoutCase{"RangeRoundedDown", {1508}, 1, {0}, 1523, {"max=104", "pageupdo=104"}, 0},
        // 8015 twips are 534.33 pixels: the range 537 is longer than the page of 526.
        LayoutCase{
            "PageNotCappedForALongStack", {8000}, 1, {0}, 8015, {"max=537", "pageupdo=526"}, 0},
        LayoutCase{"SecondPassFromTheOldStackTop",
                   {1500, 1500},
                   2,
                   {202, 303},  // 3030 and 4545 twips
                   6060,
                   {"max=407", "pageupdo=407"},
                   0},
        LayoutCase{"SlotNumbersAbove20",
                   std::vector<int>(22, 285),
                   1,
                   [] {
                       std::vector<int> tops;
                       for (int n = 0; n < 20; ++n) {
                           tops.push_back(n * 20);  // 300 twips apart
                       }
                       return tops;
                   }(),
                   6000,
                   {"max=403", "pageupdo=403"},
                   2 * 6}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST_F(LayoutTest, FailedSlotsTakeNoRoomAndAModuleWithoutHeightDoesNotAdvance) {
    addModule(1500);
    request("Nobody.Registered");
    request("Test.WithoutAbsoluteHoehe");
    addModule(900);
    host->PositioniereObjekte();

    EXPECT_EQ(controls.control("O1")->y(), 0);
    EXPECT_EQ(controls.control("O3")->y(), 101);
    EXPECT_EQ(controls.control("O4")->y(), 101);
    EXPECT_EQ(host->stackTop(), 1515 + 915);
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 2);  // the creation, and the missing height
    EXPECT_TRUE(faults[1].startsWith("Fault 438; ")) << faults[1].toStdString();
    EXPECT_TRUE(faults[1].endsWith("; KX.PositioniereObjekte")) << faults[1].toStdString();
}

TEST_F(LayoutTest, HalfTwipsRoundToTheEvenNeighbour) {
    // Half a twip per pixel: every advance ends on a half.
    PluginHost wide(log, dialogs, controls, service, line, ScreenTwips{15.0f, 0.5f}, procedures);
    wide.attach(&pictureHaupt, nullptr);
    controls.registerProgId("Sized.Module", FakeControlFactory::Kind::Recording, 1000);
    wide.NeuesObjekt("Sized.Module", 1, 1, "Packer 1");
    wide.NeuesObjekt("Sized.Module", 1, 1, "Packer 1");
    wide.PositioniereObjekte();
    // 0 + 1000 + 0.5 → 1000 (even), then 1000 + 1000 + 0.5 → 2000.
    EXPECT_EQ(wide.stackTop(), 2000);
}

TEST_F(LayoutTest, WithoutModulesTheAreaIsEmptyAndPositionsMoveNothing) {
    pictureHaupt.move(0, 0);
    host->PositioniereObjekte();
    EXPECT_EQ(pictureHaupt.height(), 0);
    EXPECT_EQ(scrollBarControl->assignments, (QStringList{"max=3", "pageupdo=3"}));
    scrollBarControl->raiseNeuePos(50);
    EXPECT_EQ(pictureHaupt.y(), 0);
    EXPECT_EQ(yields, 0);
}

TEST_F(LayoutTest, AnOversizedStackFaultsAndTheScrollBarGetsZero) {
    addModule(32765 * 15);
    host->PositioniereObjekte();
    EXPECT_EQ(scrollBarControl->assignments, (QStringList{"max=0", "pageupdo=0"}));
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].startsWith("Fault 6; ")) << faults[0].toStdString();
}

TEST_F(LayoutTest, ThePositionOneIsTheTopAndEachStepOnePixel) {
    addModule(1500);
    scrollBarControl->raiseNeuePos(101);
    EXPECT_EQ(pictureHaupt.y() * 15, -1500);
    scrollBarControl->raiseNeuePos(1);
    EXPECT_EQ(pictureHaupt.y(), 0);
    EXPECT_FALSE(host->scrollState().busy);
    EXPECT_EQ(host->scrollState().requests, 0);
    EXPECT_EQ(host->scrollState().done, 0);
}

// Showing a module moves the bar to the position that puts the module's top at the area's top.
TEST_F(LayoutTest, ShowingAModuleMovesTheBarToItsTop) {
    addModule(1500);
    addModule(3000);
    addModule(1500);
    host->PositioniereObjekte();
    scrollBarControl->assignments.clear();
    host->ShowModule(3);
    host->ShowModule(1);
    EXPECT_EQ(scrollBarControl->assignments, (QStringList{"position=303", "position=1"}));
    EXPECT_TRUE(faultLines().isEmpty());
}

TEST_F(LayoutTest, PositionsArrivingDuringAMoveGiveOneFurtherMoveToTheLast) {
    addModule(1500);
    QList<int> topsSeen;
    onYield = [&] {
        topsSeen << pictureHaupt.y();
        if (topsSeen.size() == 1) {
            for (short position : {20, 30, 40, 50, 61}) {
                scrollBarControl->raiseNeuePos(position);
            }
        }
    };
    scrollBarControl->raiseNeuePos(11);
    EXPECT_EQ(topsSeen, (QList<int>{-10, -60}));
    EXPECT_FALSE(host->scrollState().busy);
    EXPECT_EQ(host->scrollState().requests, 0);
}

TEST_F(LayoutTest, TheLowestPositionOverflowsAndTheRefreshStillRuns) {
    addModule(1500);
    host->ScrollBar_NeuePos(6);
    host->ScrollBar_NeuePos(-32768);
    EXPECT_EQ(host->scrollState().position, 5);
    EXPECT_EQ(yields, 2);
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].startsWith("Fault 6; ")) << faults[0].toStdString();
    EXPECT_TRUE(faults[0].endsWith("; KX.ScrollBar_NeuePos")) << faults[0].toStdString();
}

}  // namespace
}  // namespace kestrix

#include "host_layout_test.moc"
