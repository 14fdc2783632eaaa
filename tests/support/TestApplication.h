#pragma once

#include <QApplication>

namespace kestrix {

// The one application object of a test program, made on first use: widgets need one, and it
// lives for the whole run. The program's windows are tested with the program's own application
// class.
template <class Application = QApplication>
inline QApplication& ensureApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return *existing;
    }
    static int argc = 1;
    static char name[] = "kestrix-test";
    static char* argv[] = {name, nullptr};
    static auto* application = new Application(argc, argv);
    return *application;
}

}  // namespace kestrix
