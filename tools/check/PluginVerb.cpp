#include "PluginVerb.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <charconv>
#include <iostream>
#include <optional>

#include "IsolatedRun.h"
#include "PluginContainer.h"
#include "PluginReport.h"

namespace kestrix::check {
namespace {

constexpr int DefaultTimeoutSeconds = 10;

struct Options {
    ContainerOptions container;
    int timeoutSeconds = DefaultTimeoutSeconds;
    bool json = false;
};

std::optional<int> wholeNumber(const std::string& text, int lowest, int highest) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest) {
        return std::nullopt;
    }
    return value;
}

// FILE|PROGID [--unit N] [--machine N] [--name TEXT] [--run SECONDS] [--timeout SECONDS] [--json]
std::optional<Options> optionsOf(const std::vector<std::string>& arguments) {
    Options options;
    std::optional<std::string> target;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        std::optional<int> number;
        if (argument == "--json") {
            options.json = true;
        } else if (argument == "--name" && hasValue) {
            options.container.machineName = QString::fromLocal8Bit(arguments[++i]);
        } else if ((argument == "--unit" || argument == "--machine") && hasValue &&
                   (number = wholeNumber(arguments[++i], INT16_MIN, INT16_MAX))) {
            (argument == "--unit" ? options.container.unit : options.container.machine) =
                static_cast<int16_t>(*number);
        } else if (argument == "--run" && hasValue &&
                   (number = wholeNumber(arguments[++i], 0, 3600))) {
            options.container.runSeconds = *number;
        } else if (argument == "--timeout" && hasValue &&
                   (number = wholeNumber(arguments[++i], 1, 3600))) {
            options.timeoutSeconds = *number;
        } else if (!target && !argument.starts_with("--")) {
            target = argument;
        } else {
            return std::nullopt;
        }
    }
    if (!target) {
        return std::nullopt;
    }
    // A path names a library; anything else is a ProgID to look up in the shell's folders.
    const QString named = QFile::decodeName(QByteArray::fromStdString(*target));
    if (named.contains(QLatin1Char('/')) || QFileInfo(named).isFile()) {
        options.container.library = named;
    } else {
        options.container.progId = named;
    }
    return options;
}

int checkPlugin(const std::vector<std::string>& arguments) {
    std::optional<Options> options = optionsOf(arguments);
    if (!options) {
        return ExitUsage;
    }
    const ContainerOptions& container = options->container;
    if (!container.library.isEmpty() && !QFileInfo(container.library).isFile()) {
        std::cerr << "kestrix-check plugin: " << container.library.toLocal8Bit().constData()
                  << ": no such library\n";
        return ExitUsage;
    }
    PluginReport report(options->json);
    ChildEnd end = runIsolated([&](RecordWriter& out) { runContainer(container, out); },
                               [&](const QJsonObject& record) { report.add(record); },
                               [&](const QString& step) {
                                   return options->timeoutSeconds +
                                          (step == ContainerStep::Run ? container.runSeconds : 0);
                               });
    report.childEnded(end);
    report.finish();
    return report.fit() ? ExitSuccess : ExitFailure;
}

}  // namespace

Verb pluginVerb() {
    return Verb{
        "plugin",
        "  kestrix-check plugin LIBRARY|PROGID [--unit N] [--machine N] [--name TEXT]\n"
        "                       [--run SECONDS] [--timeout SECONDS] [--json]\n"
        "      The plug-in test container: takes one control of the library (a file, or the\n"
        "      library that serves PROGID in $KESTRIX_PLUGIN_PATH and the shell's plugins\n"
        "      folder) through the shell's calls, offscreen, in a process of its own: creation as\n"
        "      O1 in slot 1, Init(unit, machine, name) (default 1, 1, \"Machine 1\"), Refresh,\n"
        "      placement and AbsoluteHoehe, SECONDS of running (default 2), Terminate, unloading.\n"
        "      Prints the metadata, the members the shell calls (and why one cannot be called),\n"
        "      the dispatch ids and events, each step with the fault line the shell would log and\n"
        "      every event as the shell routes it. Findings: a fault line; a crash, an exit or a\n"
        "      step longer than the timeout (default 10 s); an exception out of the control's own\n"
        "      code; the event loop blocked for more than 1 s; a process left behind (ended);\n"
        "      forged records. Events emitted from a thread are a note. Exit status 0: fit for a\n"
        "      line; 1: not fit.\n",
        checkPlugin};
}

}  // namespace kestrix::check
