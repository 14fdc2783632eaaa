// The shell's modal boxes, as the module processes are told of them: blocked while at least one
// modal window is shown, whichever opened first and whichever closes last, and not by a window
// that is not modal.

#include <gtest/gtest.h>

#include <QDialog>
#include <QRandomGenerator>
#include <memory>
#include <vector>

#include "TestApplication.h"
#include "isolation/ModalInputBlock.h"

namespace kestrix {
namespace {

TEST(ModalInputBlock, BlocksWhileAnyModalWindowIsShownAndSaysSoOncePerChange) {
    ensureApplication();
    std::vector<bool> changes;
    ModalInputBlock block([&](bool blocked) { changes.push_back(blocked); });
    EXPECT_FALSE(block.isBlocking());

    // Two application-modal boxes, one window-modal and one plain window, shown and hidden in a
    // random order: the block follows whether one of the three modal ones is shown.
    std::vector<std::unique_ptr<QDialog>> windows;
    for (Qt::WindowModality modality :
         {Qt::ApplicationModal, Qt::ApplicationModal, Qt::WindowModal, Qt::NonModal}) {
        windows.push_back(std::make_unique<QDialog>());
        windows.back()->setWindowModality(modality);
    }
    QRandomGenerator random(26);
    bool blocked = false;
    std::vector<bool> expected;
    for (int step = 0; step < 200; ++step) {
        QDialog& window = *windows[random.bounded(static_cast<int>(windows.size()))];
        window.setVisible(!window.isVisible());
        bool modalShown = false;
        for (size_t modal = 0; modal < 3; ++modal) {
            modalShown = modalShown || windows[modal]->isVisible();
        }
        if (modalShown != blocked) {
            blocked = modalShown;
            expected.push_back(blocked);
        }
        ASSERT_EQ(block.isBlocking(), blocked) << step;
    }
    EXPECT_EQ(changes, expected);
    EXPECT_GE(expected.size(), 4u);
}

}  // namespace
}  // namespace kestrix
