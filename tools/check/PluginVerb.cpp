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
#include "isolation/ModuleProcess.h"

namespace kestrix::check {
namespace {

// What the container's own process may take beyond the module's answer limit for one step: the
// module's process is started, stopped (a second between TERM and KILL) or unloaded meanwhile.
constexpr int ContainerSlackSeconds = 5;

struct Options {
    ContainerOptions container;
    std::optional<int> timeoutSeconds;  // the shell's answer limit unless given
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
    // The timeout is the shell's answer limit for the module's process, set as the shell takes it.
    if (options->timeoutSeconds) {
        qputenv(ModuleProcess::AnswerLimitVariable, QByteArray::number(*options->timeoutSeconds));
    }
    const int answerLimit = ModuleProcess::answerLimitSeconds();
    PluginReport report(options->json);
    ChildEnd end = runIsolated([&](RecordWriter& out) { runContainer(container, out); },
                               [&](const QJsonObject& record) { report.add(record); },
                               [&](const QString& step) {
                                   return answerLimit + ContainerSlackSeconds +
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
        "      library that serves PROGID in $KESTRIX_PLUGIN_PATH, the site's folders listed in\n"
        "      /etc/kestrix/plugin-path and the shell's plugins folder) through the shell's\n"
        "      calls, offscreen, in the shell's module process\n"
        "      (kestrix-module beside this program): creation as O1 in slot 1, Init(unit,\n"
        "      machine, name) (default 1, 1, \"Machine 1\"), Refresh, placement and\n"
        "      AbsoluteHoehe, SECONDS of running (default 2), Terminate, the end (the control\n"
        "      destroyed in its process, which then ends by itself). Prints the\n"
        "      metadata, the members the shell calls (and why one cannot be called), the\n"
        "      dispatch ids and events, each step with the fault line the shell logs and every\n"
        "      event as the shell routes it. Findings: a fault line; the stop of the module's\n"
        "      process (a crash, an exit, a call unanswered within the timeout, default the\n"
        "      shell's answer limit of 10 s); an exception out of the control's own code; a call\n"
        "      answered more than 1 s late while it runs; a process left behind (ended). Exit\n"
        "      status 0: fit for a line; 1: not fit.\n",
        checkPlugin};
}

}  // namespace kestrix::check
