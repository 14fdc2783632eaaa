#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include "platform/Desktop.h"

class QWidget;

namespace kestrix {

// The desktop for tests: a table of fake windows (title → handle) and a record of every call, in
// order: "find TITLE", "foreground HANDLE", "active HANDLE", "minimise" (or "show COMMAND" for
// any other show command). A test opens and closes windows as the other program would.
class FakeDesktop final : public Desktop {
public:
    // Adds a window with this title and returns its handle (1, 2, 3, ... in order of opening).
    WindowHandle openWindow(const QString& title) {
        WindowHandle handle = ++lastHandle_;
        windows.insert(title, handle);
        return handle;
    }

    void closeWindow(const QString& title) { windows.remove(title); }

    WindowHandle FindWindowA(const QString& title) override {
        calls.append(QStringLiteral("find ") + title);
        return windows.value(title, 0);
    }

    void SetForegroundWindow(WindowHandle window) override {
        calls.append(QStringLiteral("foreground ") + QString::number(window));
    }

    void SetActiveWindow(WindowHandle window) override {
        calls.append(QStringLiteral("active ") + QString::number(window));
    }

    void ShowWindow(QWidget* ownWindow, int showCommand) override {
        minimisedWindow = ownWindow;
        calls.append(showCommand == SW_SHOWMINNOACTIVE
                         ? QStringLiteral("minimise")
                         : QStringLiteral("show ") + QString::number(showCommand));
    }

    void AllowMinimise(QWidget* ownWindow) override { minimisableWindow = ownWindow; }

    QString whyWindowsCannotBeSeen() const override { return cannotSeeWindowsBecause; }

    QMap<QString, WindowHandle> windows;
    QStringList calls;
    QWidget* minimisedWindow = nullptr;    // the widget of the last ShowWindow call
    QWidget* minimisableWindow = nullptr;  // the widget of the last AllowMinimise call
    QString cannotSeeWindowsBecause;       // empty: the desktop shows other programs' windows

private:
    WindowHandle lastHandle_ = 0;
};

}  // namespace kestrix
