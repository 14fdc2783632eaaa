// A module's window held in another window, as in the operator window's view of its modules, is
// painted only while some of it can be seen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "WaitUntil.h"
#include "XServer.h"
#include "platform/x11/PaintWhileInView.h"

namespace kestrix {
namespace {

class CountedPaints final : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// repaint() paints at once unless Qt holds the window's painting back.
bool paintsNow(CountedPaints& field) {
    QCoreApplication::processEvents();
    field.paints = 0;
    field.repaint();
    return field.paints > 0;
}

TEST(PaintWhileInView, AWindowOutOfItsHoldersViewIsPaintedOnlyOnceSeenAgain) {
    XServer x;
    if (x.missing()) {
        GTEST_SKIP() << x.error();
    }
    ASSERT_TRUE(x.ok()) << x.error();
    static int argc = 1;
    static char name[] = "isolation_paintwhileinview_test";
    static char* argv[] = {name, nullptr};
    auto application = std::make_unique<QApplication>(argc, argv);
    {
        QWidget view;
        view.resize(200, 100);
        view.show();
        ASSERT_TRUE(runEventsUntil([&] { return view.windowHandle()->isExposed(); }));
        // The operator window's frame of the module, first below its view.
        const QPoint outOfView(0, 300);
        QWidget frame(&view);
        frame.setAttribute(Qt::WA_NativeWindow);
        frame.setGeometry(QRect(outOfView, QSize(200, 50)));
        frame.show();
        QWidget module(nullptr, Qt::FramelessWindowHint);
        module.resize(200, 50);
        auto* field = new CountedPaints(&module);
        field->resize(200, 50);
        module.winId();
        module.windowHandle()->setParent(frame.windowHandle());
        PaintWhileInView watch(module);
        module.show();
        ASSERT_TRUE(runEventsUntil([&] { return module.windowHandle()->isExposed(); }));

        EXPECT_FALSE(paintsNow(*field)) << "shown out of view";
        frame.move(0, 0);
        EXPECT_TRUE(runEventsUntil([&] { return field->paints > 0; })) << "scrolled into view";
        EXPECT_TRUE(paintsNow(*field));
        frame.move(outOfView);
        EXPECT_TRUE(runEventsUntil([&] { return !module.testAttribute(Qt::WA_Mapped); }));
        EXPECT_FALSE(paintsNow(*field)) << "scrolled out of view";
    }
    application.reset();
}

}  // namespace
}  // namespace kestrix
