#include "hmi/server/RuntimeOptions.h"

#include "hmi/HmiProtocol.h"

namespace kestrix {

namespace {

// A count given to an option: a whole number of at least 0.
bool parseCount(const QString& text, int& count) {
    bool isNumber = false;
    count = text.toInt(&isNumber);
    return isNumber && count >= 0;
}

bool parseCommand(const QStringList& words, RuntimeOptions& options, QString& error) {
    const QString& verb = words.first();
    options.commandArguments = words.mid(1);
    qsizetype argumentCount = options.commandArguments.size();
    if (verb == QLatin1String("set") && argumentCount == 2) {
        options.command = RuntimeOptions::Command::Set;
    } else if (verb == QLatin1String("get") && argumentCount == 1) {
        options.command = RuntimeOptions::Command::Get;
    } else if (verb == QLatin1String("stop") && argumentCount == 0) {
        options.command = RuntimeOptions::Command::Stop;
    } else {
        error = QStringLiteral("unknown command or wrong number of arguments: ") + words.join(' ');
        return false;
    }
    if (argumentCount >= 1 && !HmiProtocol::isValidName(options.commandArguments.at(0))) {
        error = QStringLiteral("not a variable name: \"%1\"").arg(options.commandArguments.at(0));
        return false;
    }
    if (argumentCount == 2 && !HmiProtocol::isValidValue(options.commandArguments.at(1))) {
        error = QStringLiteral("a value must fit on one line");
        return false;
    }
    return true;
}

}  // namespace

bool RuntimeOptions::parse(const QStringList& arguments, RuntimeOptions& options, QString& error) {
    options = RuntimeOptions{};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        bool takesCount = word == QLatin1String("--start-delay-ms") ||
                          word == QLatin1String("--die-after-s") ||
                          word == QLatin1String("--hang-after-s");
        if (word == QLatin1String("--help") || word == QLatin1String("--version")) {
            options.command = word == QLatin1String("--help") ? RuntimeOptions::Command::Help
                                                              : RuntimeOptions::Command::Version;
            return true;
        }
        if (word == QLatin1String("--fail-start")) {
            options.failStart = true;
        } else if (word == QLatin1String("--ignore-stop")) {
            options.ignoreStop = true;
        } else if (takesCount) {
            int count = 0;
            if (i + 1 >= arguments.size() || !parseCount(arguments.at(i + 1), count)) {
                error = word + QStringLiteral(" needs a whole number of at least 0");
                return false;
            }
            ++i;
            if (word == QLatin1String("--start-delay-ms")) {
                options.startDelayMs = count;
            } else if (word == QLatin1String("--die-after-s")) {
                options.dieAfterSeconds = count;
            } else {
                options.hangAfterSeconds = count;
            }
        } else if (word.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option ") + word;
            return false;
        } else {
            return parseCommand(arguments.mid(i), options, error);
        }
    }
    return true;
}

QString RuntimeOptions::usage() {
    return QStringLiteral(
        "usage: kestrix-hmi [--fail-start] [--start-delay-ms N] [--ignore-stop] [--die-after-s N]\n"
        "                   [--hang-after-s N]\n"
        "       kestrix-hmi set NAME VALUE | get NAME | stop\n"
        "       kestrix-hmi --help | --version\n"
        "The socket is $KESTRIX_HMI_SOCKET (a path, or a name in the runtime folder), else\n"
        "kestrix-hmi in the runtime folder: $XDG_RUNTIME_DIR when absolute, else kestrix in\n"
        "the cache folder ($XDG_CACHE_HOME, else ~/.cache), the user's alone. The journal is\n"
        "$KESTRIX_HMI_JOURNAL, else beside the socket.\n");
}

}  // namespace kestrix
