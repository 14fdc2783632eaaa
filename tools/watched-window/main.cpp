// kestrix-watched-window --title TITLE [--commands] | --help | --version
//
// Shows a real top-level window with the given title until it is closed or the process is killed:
// the stand-in for the other program's window that the operator window watches. With --commands
// it obeys lines on its standard input, as the other program would act on its own window:
// "hide" (the window is withdrawn but goes on existing), "show" and "minimise".

#include <QApplication>
#include <QByteArray>
#include <QCommandLineParser>
#include <QLabel>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

void obey(QWidget& window, const QByteArray& command) {
    if (command == "hide") {
        window.hide();
    } else if (command == "show") {
        window.showNormal();
    } else if (command == "minimise") {
        window.showMinimized();
    } else if (!command.isEmpty()) {
        qWarning("kestrix-watched-window: unknown command \"%s\"", command.constData());
    }
}

// Reads the commands as they come, a line each, until standard input ends.
void obeyStandardInput(QWidget& window) {
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
    auto pending = std::make_shared<QByteArray>();
    QObject::connect(input, &QSocketNotifier::activated, [&window, input, pending] {
        char chunk[256];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count <= 0) {
            input->setEnabled(false);
            return;
        }
        pending->append(chunk, count);
        for (qsizetype end = pending->indexOf('\n'); end >= 0; end = pending->indexOf('\n')) {
            obey(window, pending->left(end).trimmed());
            pending->remove(0, end + 1);
        }
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read before QApplication exists: --help and --version need no display, and QApplication
    // would take --title as its own X11 option.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a top-level window with the given title until it is closed."));
    QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Prints this help and ends."));
    QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Prints the version and ends."));
    QCommandLineOption titleOption(QStringLiteral("title"), QStringLiteral("The window's title."),
                                   QStringLiteral("TITLE"));
    QCommandLineOption commandsOption(
        QStringLiteral("commands"),
        QStringLiteral("Obey \"hide\", \"show\" and \"minimise\" lines on standard input."));
    parser.addOptions({helpOption, versionOption, titleOption, commandsOption});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "kestrix-watched-window: %s\n", qPrintable(parser.errorText()));
        return 1;
    }
    // Without QApplication the parser does not know the program's name.
    const QString help = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                   QStringLiteral("kestrix-watched-window"));
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::puts("kestrix-watched-window " KESTRIX_VERSION);
        return 0;
    }
    if (!parser.isSet(titleOption)) {
        std::fputs(qPrintable(help), stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Watched window: ") + parser.value(titleOption));
    window.setWindowTitle(parser.value(titleOption));
    window.setAlignment(Qt::AlignCenter);
    window.resize(360, 120);
    if (parser.isSet(commandsOption)) {
        obeyStandardInput(window);
    }
    window.show();
    return app.exec();
}
