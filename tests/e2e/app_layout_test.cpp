// The modules as the operator sees them: stacked in slot order with a one-pixel gap in the plug-in
// area, and moved by the scroll bar. Checked on pictures of the real operator window.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <memory>

#include "InstalledLine.h"

namespace kestrix {
namespace {

// The plug-in area's own colour shows only in the gaps between modules.
const QColor PluginArea(220, 220, 220);
// The frame of the plug-in area in the window, in pixels at 96 DPI.
constexpr int FrameTop = 3;
constexpr int FrameHeight = 526;

// Two tanks (2400 twips = 160 px each), two OCR modules (120 px), one Tarvo (110 px).
class Layout : public InstalledLineTest {
protected:
    Layout()
        : InstalledLineTest(
              "[Project]\nNumberOfMachines=2\n"
              "[Machine1]\nHotMeltTankNumberOfTanks=3\nOCRNumberOfModules=1\n"
              "[Machine2]\nOCRNumberOfModules=1\nTarvoSystems=1\n") {}

    void SetUp() override {
        InstalledLineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        static int argc = 1;
        static char name[] = "app_layout_test";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }

    void TearDown() override { application.reset(); }

    // The rows of the visible plug-in area, in window pixels, where the plug-in area's own colour
    // shows at a column inside the modules.
    QList<int> gapRows(const QString& window) const {
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(window.toULongLong()).toImage();
        QList<int> rows;
        for (int y = FrameTop; y < FrameTop + FrameHeight && y < shot.height(); ++y) {
            if (shot.pixelColor(20, y) == PluginArea) {
                rows.append(y);
            }
        }
        return rows;
    }

    std::unique_ptr<QGuiApplication> application;
};

TEST_F(Layout, ModulesStandStackedWithOnePixelGapsAndTheScrollBarMovesThem) {
    line.startShell();
    ASSERT_TRUE(waitUntil(
        [&] { return line.log().contains(QStringLiteral("S KX.TimerErstemal_Timer En ")); }));
    const QString window = line.operatorWindow();
    ASSERT_FALSE(window.isEmpty());

    // Tops 0, 161, 322, 443, 564 in the plug-in area: the gaps follow each 160, 160, 120, 120 px
    // module; the fourth gap lies below the visible frame.
    EXPECT_TRUE(waitUntil(
        [&] {
            return gapRows(window) == QList<int>{FrameTop + 160, FrameTop + 321, FrameTop + 442};
        },
        5000))
        << "gaps at "
        << QStringList([&] {
               QStringList rows;
               for (int row : gapRows(window)) rows.append(QString::number(row));
               return rows;
           }())
               .join(' ')
               .toStdString();

    // A click on the scroll bar's track below its handle pages down to the last position: the
    // stack is 674 px high, 526 px show, so the area moves up by 152 px.
    line.run(QStringLiteral("xdotool"),
             {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    line.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                         window, QStringLiteral("778"), QStringLiteral("500"),
                                         QStringLiteral("click"), QStringLiteral("1")});
    const QList<int> scrolled{FrameTop + 160 - 152, FrameTop + 321 - 152, FrameTop + 442 - 152,
                              FrameTop + 563 - 152};
    EXPECT_TRUE(waitUntil([&] { return gapRows(window) == scrolled; }, 5000))
        << "gaps at "
        << QStringList([&] {
               QStringList rows;
               for (int row : gapRows(window)) rows.append(QString::number(row));
               return rows;
           }())
               .join(' ')
               .toStdString();
}

}  // namespace
}  // namespace kestrix
