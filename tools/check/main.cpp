// kestrix-check: what the shell would read from its configuration and how it would treat a
// plug-in, for commissioning engineers and plug-in vendors.
// Each verb lives in a file of its own and is listed once below.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "IniVerb.h"
#include "PlanVerb.h"
#include "PluginVerb.h"
#include "Verb.h"

using kestrix::check::ExitUsage;
using kestrix::check::Verb;

namespace {

const Verb Verbs[] = {
    kestrix::check::iniVerb(),
    kestrix::check::planVerb(),
    kestrix::check::pluginVerb(),
};

void printUsage(std::ostream& out) {
    out << "usage:\n";
    for (const Verb& verb : Verbs) {
        out << verb.usage;
    }
    out << "  kestrix-check --help | --version\n";
}

// After wrong arguments: one line, the verb's first usage line or the verbs there are, and where
// the whole usage is.
void printShortUsage(const Verb* verb) {
    std::cerr << "usage: ";
    if (verb != nullptr) {
        const std::string_view first = verb->usage.substr(0, verb->usage.find('\n'));
        std::cerr << first.substr(first.find_first_not_of(' '));
    } else {
        std::cerr << "kestrix-check";
        for (const Verb& each : Verbs) {
            std::cerr << (&each == Verbs ? " " : "|") << each.name;
        }
        std::cerr << " ...";
    }
    std::cerr << " (see kestrix-check --help)\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments.front() == "--help" || arguments.front() == "-h")) {
        printUsage(std::cout);
        return kestrix::check::ExitSuccess;
    }
    if (arguments.size() == 1 && arguments.front() == "--version") {
        std::cout << "kestrix-check " KESTRIX_VERSION "\n";
        return kestrix::check::ExitSuccess;
    }
    if (!arguments.empty()) {
        for (const Verb& verb : Verbs) {
            if (verb.name == arguments.front()) {
                int exitCode = verb.run({arguments.begin() + 1, arguments.end()});
                if (exitCode == ExitUsage) {
                    printShortUsage(&verb);
                }
                return exitCode;
            }
        }
    }
    printShortUsage(nullptr);
    return ExitUsage;
}
