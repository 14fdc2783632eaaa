// Peak memory of a window with the 20 plug-in modules of a full two-machine line, shown
// offscreen; with "plain" the same window with 20 plain child widgets. Prints the peak resident
// set size in MiB. The target for the modules is at most 38 MiB.

#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "host_line_window.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool plain = argc > 1 && std::strcmp(argv[1], "plain") == 0;
    kestrix::bench::LineSetup line;
    if (!plain && line.registeredKinds() != 8) {
        std::fprintf(stderr, "the eight module plug-ins are not in %s\n",
                     qPrintable(kestrix::bench::pluginFolder()));
        return 1;
    }
    auto window = plain ? kestrix::bench::LineSetup::plainWindow() : line.pluginWindow();
    window->show();
    // Let the modules paint and their simulations tick a few times.
    QTimer::singleShot(2500, &application, &QApplication::quit);
    application.exec();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s peak RSS: %.1f MiB\n", plain ? "20 plain widgets" : "20 plug-in modules",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
