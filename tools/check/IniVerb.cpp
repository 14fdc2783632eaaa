#include "IniVerb.h"
#include "StderrDialogs.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <iostream>
#include <optional>

#include "QueryEscapes.h"
#include "config/Service.h"
#include "platform/Dialogs.h"

namespace kestrix::check {

namespace {

enum class ReadAs { Integer, Text, Boolean };

// One look-up as the shell makes it. Section and key are 8-bit text, one character per byte.
struct Query {
    ReadAs readAs;
    QString file;
    QString section;
    QString key;
};

Query queryOf(ReadAs readAs, const std::string& file, const std::string& section,
              const std::string& key) {
    return Query{readAs, QFile::decodeName(QByteArray::fromStdString(file)),
                 QString::fromLatin1(section.data(), static_cast<qsizetype>(section.size())),
                 QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()))};
}

std::string readInteger(const Service& service, const Query& query) {
    return std::to_string(service.LoadIniInteger(query.section, query.key, query.file, false));
}

std::string readBoolean(const Service& service, const Query& query) {
    return service.LoadIniBoolean(query.section, query.key, query.file, false) ? "TRUE" : "FALSE";
}

// The text's bytes as the shell keeps them, one byte per character (for the batch's escapes).
std::string readText(const Service& service, const Query& query) {
    return service.LoadIniString(query.section, query.key, query.file, false)
        .toLatin1()
        .toStdString();
}

// The text the shell reads, in UTF-8 for the terminal: a Latin-1 "S\xFCd" prints as "Süd".
std::string readTextForTerminal(const Service& service, const Query& query) {
    return service.LoadIniString(query.section, query.key, query.file, false)
        .toUtf8()
        .toStdString();
}

// The answer on a line of its own: a number, TRUE or FALSE, or the text in UTF-8.
int answerOneQuery(const std::vector<std::string>& arguments) {
    ReadAs readAs = ReadAs::Text;
    if (arguments.size() == 4 && arguments[3] == "--int") {
        readAs = ReadAs::Integer;
    } else if (arguments.size() == 4 && arguments[3] == "--bool") {
        readAs = ReadAs::Boolean;
    } else if (arguments.size() != 3) {
        return ExitUsage;
    }
    StderrDialogs dialogs;
    Service service(dialogs);
    Query query = queryOf(readAs, arguments[0], arguments[1], arguments[2]);
    switch (readAs) {
        case ReadAs::Integer:
            std::cout << readInteger(service, query);
            break;
        case ReadAs::Boolean:
            std::cout << readBoolean(service, query);
            break;
        case ReadAs::Text:
            std::cout << readTextForTerminal(service, query);
            break;
    }
    std::cout << '\n';
    return ExitSuccess;
}

std::optional<ReadAs> readAsOfMode(std::string_view mode) {
    if (mode == "int") {
        return ReadAs::Integer;
    }
    if (mode == "str") {
        return ReadAs::Text;
    }
    if (mode == "bool") {
        return ReadAs::Boolean;
    }
    return std::nullopt;
}

std::vector<std::string> splitAtTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos;
         tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

// MODE TAB FILE TAB SECTION TAB KEY, with section and key escaped.
std::optional<Query> parseBatchQuery(const std::string& line) {
    std::vector<std::string> fields = splitAtTabs(line);
    if (fields.size() != 4) {
        return std::nullopt;
    }
    std::optional<ReadAs> readAs = readAsOfMode(fields[0]);
    std::optional<std::string> section = unescapeBytes(fields[2]);
    std::optional<std::string> key = unescapeBytes(fields[3]);
    if (!readAs || !section || !key) {
        return std::nullopt;
    }
    return queryOf(*readAs, fields[1], *section, *key);
}

// A text answers as its count, a blank and the escaped text in double quotes: 5 "Value".
std::string batchAnswer(const Service& service, const Query& query) {
    switch (query.readAs) {
        case ReadAs::Integer:
            return readInteger(service, query);
        case ReadAs::Boolean:
            return readBoolean(service, query);
        case ReadAs::Text: {
            std::string text = readText(service, query);
            return std::to_string(text.size()) + " \"" + escapeBytes(text) + "\"";
        }
    }
    return {};
}

// Exactly one answer line per query line, flushed at once so that a script can talk to the tool
// query by query. A line that is not a query answers "ERROR" and makes the exit code 1.
int answerBatch() {
    StderrDialogs dialogs;
    Service service(dialogs);
    int exitCode = ExitSuccess;
    std::string line;
    for (long lineNumber = 1; std::getline(std::cin, line); ++lineNumber) {
        std::optional<Query> query = parseBatchQuery(line);
        if (query) {
            std::cout << batchAnswer(service, *query) << '\n';
        } else {
            std::cout << "ERROR\n";
            std::cerr << "kestrix-check: line " << lineNumber
                      << ": not a query (MODE<TAB>FILE<TAB>SECTION<TAB>KEY, MODE int, str or "
                         "bool, escapes \\\\ \\\" \\t \\n \\r \\xHH)\n";
            exitCode = ExitFailure;
        }
        std::cout.flush();
    }
    return exitCode;
}

int runIni(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && arguments[0] == "--batch") {
        return answerBatch();
    }
    return answerOneQuery(arguments);
}

}  // namespace

Verb iniVerb() {
    return Verb{"ini",
                "  kestrix-check ini FILE SECTION KEY [--int|--bool]\n"
                "      prints the value the shell reads (as text in UTF-8 unless --int or --bool)\n"
                "  kestrix-check ini --batch\n"
                "      answers one query per line of stdin: MODE<TAB>FILE<TAB>SECTION<TAB>KEY\n"
                "      (MODE int, str or bool; SECTION and KEY escaped: \\\\ \\\" \\t \\n "
                "\\r \\xHH)\n",
                runIni};
}

}  // namespace kestrix::check
