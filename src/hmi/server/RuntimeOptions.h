#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kestrix {

// What `kestrix-hmi` was asked to do:
//     kestrix-hmi [--fail-start] [--start-delay-ms N] [--ignore-stop] [--die-after-s N]
//                 [--hang-after-s N]
//     kestrix-hmi set NAME VALUE | get NAME | stop
//     kestrix-hmi --help | --version
// Without a command it runs the runtime; the options let tests play a runtime that fails to
// start, starts slowly, ignores the stop request, dies or hangs.
struct RuntimeOptions {
    enum class Command { Run, Set, Get, Stop, Help, Version };

    Command command = Command::Run;
    QStringList commandArguments;

    bool failStart = false;
    int startDelayMs = 0;
    bool ignoreStop = false;
    std::optional<int> dieAfterSeconds;
    std::optional<int> hangAfterSeconds;

    // Fills the options from the command line; on a mistake returns false with the reason.
    static bool parse(const QStringList& arguments, RuntimeOptions& options, QString& error);
    static QString usage();
};

}  // namespace kestrix
