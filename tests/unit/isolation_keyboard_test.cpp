// Tab entering a module's control in a window that becomes active only later (the module host's):
// the field that takes the keyboard is the control's first (last) that Tab can reach, and it takes
// it for Tab's reason once the window is active, so a line edit selects its text as Tab into it in
// one window does; Tab from that last (Backtab from that first) field leaves the control, and the
// field loses the keyboard at once, though its window is still active.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QWidget>
#include <vector>

#include "TestApplication.h"
#include "channel/KeyboardFocus.h"

namespace kestrix {
namespace {

// Makes the window the active one, as the X server's input focus does.
bool activate(QWidget& window) {
    window.activateWindow();
    for (int turn = 0; turn < 100 && !window.isActiveWindow(); ++turn) {
        QApplication::processEvents();
    }
    return window.isActiveWindow();
}

TEST(KeyboardFocus, TabEntersTheControlsEdgeFieldAndSelectsItsTextOnceTheWindowIsActive) {
    ensureApplication();
    QWidget elsewhere;  // the shell's window, active while the keyboard is there
    elsewhere.show();
    QWidget window;
    auto* control = new QWidget(&window);
    KeyboardFocus::ControlKeyboard entry(window);
    window.show();
    QRandomGenerator random(26);
    for (int round = 0; round < 40; ++round) {
        // Line edits with text, some that Tab cannot reach: disabled, hidden, or taking the
        // focus by a click alone.
        qDeleteAll(control->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly));
        std::vector<QLineEdit*> reachable;
        const int fields = static_cast<int>(random.bounded(5));
        for (int n = 0; n < fields; ++n) {
            auto* field = new QLineEdit(QStringLiteral("value %1").arg(n), control);
            field->show();
            switch (random.bounded(5)) {
                case 0:
                    field->setEnabled(false);
                    break;
                case 1:
                    field->hide();
                    break;
                case 2:
                    field->setFocusPolicy(Qt::ClickFocus);
                    break;
                default:
                    reachable.push_back(field);
            }
        }
        const bool forward = random.bounded(2) == 0;
        ASSERT_TRUE(activate(elsewhere)) << round;

        ASSERT_EQ(entry.enter(*control, forward), !reachable.empty()) << round;
        if (reachable.empty()) {
            continue;
        }
        QLineEdit* edge = forward ? reachable.front() : reachable.back();
        ASSERT_TRUE(activate(window)) << round;
        EXPECT_EQ(QApplication::focusWidget(), edge) << round;
        EXPECT_EQ(edge->selectedText(), edge->text()) << round << " forward " << forward;

        bool leavesForward = !forward;
        EXPECT_TRUE(KeyboardFocus::leavesControl(*control, forward ? Qt::Key_Backtab : Qt::Key_Tab,
                                                 Qt::NoModifier, leavesForward))
            << round;
        EXPECT_EQ(leavesForward, !forward) << round;
        EXPECT_EQ(KeyboardFocus::leavesControl(*control, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                                               Qt::NoModifier, leavesForward),
                  reachable.size() == 1)
            << round;

        // Tab leaves the control and comes back before the window is inactive: the field lost
        // the keyboard and its selection, and takes both again.
        entry.leave(!forward);
        EXPECT_NE(QApplication::focusWidget(), edge) << round;
        EXPECT_FALSE(edge->hasSelectedText()) << round;
        ASSERT_TRUE(entry.enter(*control, forward));
        EXPECT_EQ(QApplication::focusWidget(), edge) << round;
        EXPECT_EQ(edge->selectedText(), edge->text()) << round;
    }
}

}  // namespace
}  // namespace kestrix
