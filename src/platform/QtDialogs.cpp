#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QWindow>

// Xlib defines macros (Bool, Status, None) that clash with Qt's headers: it comes last.
#include <X11/Xlib.h>

namespace kestrix {

namespace {

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
        case MsgBoxStyle::Critical:
            return QMessageBox::Critical;
        case MsgBoxStyle::Question:
            return QMessageBox::Question;
        case MsgBoxStyle::Exclamation:
            return QMessageBox::Warning;
        case MsgBoxStyle::Information:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// The program's window that asks: the active window, or, when none is active (the operator
// window may be minimised behind another program's window) or a box is, the main window that is
// shown. Boxes, tool windows and pop-ups never ask.
QWidget* askingWindow() {
    auto isMainWindow = [](const QWidget* window) {
        return window != nullptr && window->isVisible() && window->windowType() == Qt::Window;
    };
    QWidget* active = QApplication::activeWindow();
    if (isMainWindow(active)) {
        return active;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (isMainWindow(window)) {
            return window;
        }
    }
    return nullptr;
}

// Makes the box transient for the window that asks, so that the window manager keeps it with that
// window (without it, Qt names a hidden helper window of its own). Only the native windows are
// tied: the box is no child of the asking window, which may be unloaded while the box is open.
void makeTransientForAskingWindow(QMessageBox& box) {
    QWidget* asking = askingWindow();
    if (asking == nullptr || asking->windowHandle() == nullptr) {
        return;
    }
    box.winId();  // makes the box's native window, which the tie needs
    box.windowHandle()->setTransientParent(asking->windowHandle());
}

// The room a window manager's frame takes beside the caption: the window's icon and its
// minimise, maximise and close buttons, with their margins.
constexpr int FrameButtonsWidth = 160;

// A box sizes itself to its text and buttons, which leaves a short text's box too narrow for its
// caption: the frame would cut "Kestrix" to "K... ix". A row as wide as the caption and the
// frame's buttons keeps the box at least that wide.
void makeWideEnoughForCaption(QMessageBox& box) {
    auto* layout = qobject_cast<QGridLayout*>(box.layout());
    if (layout == nullptr) {
        return;
    }
    const QFontMetrics caption(QApplication::font("QMdiSubWindowTitleBar"));
    const int width = caption.horizontalAdvance(box.windowTitle()) + FrameButtonsWidth;
    layout->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                    layout->rowCount(), 0, 1, layout->columnCount());
}

// Qt names every new window to the window manager through Xlib as well as through xcb, and Xlib
// keeps a note of each such request until it next reads from the X server itself, which Qt never
// has it do: some 70 bytes per box, for as long as the program runs. One round trip of Xlib's own
// after each box lets it drop them. Without an X server (offscreen) there is nothing to do.
void letXlibForgetAnsweredRequests() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->display() != nullptr) {
        XSync(x11->display(), False);
    }
}

}  // namespace

// Where the style puts an icon on the buttons (X11 desktops do), every new button loads its icon
// afresh, and the pixmaps drawn from it stay in Qt's pixmap cache under that icon's own key long
// after the box is gone: some 2 KB per box. So the first icon of each button is kept and every
// later button shows that one, which the cache already holds.
QPushButton* QtDialogs::addButton(QMessageBox& box, QMessageBox::StandardButton which) {
    QPushButton* button = box.addButton(which);
    if (!button->icon().isNull()) {
        auto kept = buttonIcons_.constFind(which);
        if (kept == buttonIcons_.constEnd()) {
            kept = buttonIcons_.insert(which, button->icon());
        }
        button->setIcon(*kept);
    }
    return button;
}

int QtDialogs::MsgBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(iconOf(style), title, prompt);
    bool yesNo = (style & 0x0F) == MsgBoxStyle::YesNo;
    if (yesNo) {
        QPushButton* yes = addButton(box, QMessageBox::Yes);
        QPushButton* no = addButton(box, QMessageBox::No);
        box.setDefaultButton((style & MsgBoxStyle::DefaultButton2) ? no : yes);
    } else {
        box.setDefaultButton(addButton(box, QMessageBox::Ok));
    }
    makeWideEnoughForCaption(box);
    makeTransientForAskingWindow(box);
    int pressed = box.exec();
    letXlibForgetAnsweredRequests();
    if (yesNo) {
        return pressed == QMessageBox::Yes ? MsgBoxResult::Yes : MsgBoxResult::No;
    }
    return MsgBoxResult::Ok;
}

}  // namespace kestrix
