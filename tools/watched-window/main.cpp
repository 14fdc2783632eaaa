// kestrix-watched-window --title TITLE
//
// Shows a real top-level window with the given title until it is closed or the process is killed:
// the stand-in for the other program's window that the operator window watches.

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QStringList>

int main(int argc, char* argv[]) {
    // Taken before QApplication sees them: it would take --title as its own X11 option.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a top-level window with the given title until it is closed."));
    parser.addHelpOption();
    QCommandLineOption titleOption(QStringLiteral("title"), QStringLiteral("The window's title."),
                                   QStringLiteral("TITLE"));
    parser.addOption(titleOption);
    parser.process(arguments);
    if (!parser.isSet(titleOption)) {
        parser.showHelp(2);
    }

    QLabel window(QStringLiteral("Watched window: ") + parser.value(titleOption));
    window.setWindowTitle(parser.value(titleOption));
    window.setAlignment(Qt::AlignCenter);
    window.resize(360, 120);
    window.show();
    return app.exec();
}
