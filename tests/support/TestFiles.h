#pragma once

// Files as the tests write and read them, and the shell's log as the tests read it.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace kestrix {

// A file the test cannot write is a failure of the test, not a silent empty file.
inline void writeFile(const QString& file, const QByteArray& content) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(content) != content.size()) {
        ADD_FAILURE() << "cannot write " << file.toStdString();
    }
}

inline QByteArray readFile(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// A log line: its flag letters ("E ", "D ", "S " in this order), time, date and text.
inline const QRegularExpression& logLinePattern() {
    static const QRegularExpression pattern(QStringLiteral(
        "^((?:E )?(?:D )?(?:S )?)(\\d\\d:[0-5]\\d:[0-5]\\d \\d\\d\\.\\d\\d\\.\\d\\d) (.*)$"));
    return pattern;
}

// The log's lines as "<flags> <text>", without the "hh:mm:ss mm.dd.yy " stamp ("S FormActivate
// Start "); a line of another form (a reduced log's first line) as it is.
inline QStringList logTexts(const QString& file) {
    QStringList texts;
    const QStringList lines =
        QString::fromLatin1(readFile(file)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = logLinePattern().match(line);
        texts << (match.hasMatch() ? match.captured(1) + match.captured(3) : line);
    }
    return texts;
}

// The fault lines of the log (flag E), without their flag.
inline QStringList logFaults(const QString& file) {
    QStringList faults;
    for (const QString& text : logTexts(file)) {
        if (text.startsWith(QLatin1String("E "))) {
            faults << text.mid(2);
        }
    }
    return faults;
}

// What is wrong with the log's form, or nothing: every line is flags, time, date and text ended
// by CRLF (a reduced log's first line is date; time; "File size reduced"), and the log ends in a
// whole line.
inline QString logMalformation(const QString& file) {
    const QByteArray content = readFile(file);
    if (content.isEmpty()) {
        return {};
    }
    if (!content.endsWith("\r\n")) {
        return QStringLiteral("the log ends inside a line: ") +
               QString::fromLatin1(content.right(80));
    }
    const QList<QByteArray> lines = content.chopped(2).split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]);
        if (!line.endsWith(QLatin1Char('\r')) && i + 1 < lines.size()) {
            return QStringLiteral("a line without CR: ") + line;
        }
        const QString text = line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
        const bool reduction = i == 0 && text.endsWith(QLatin1String("; File size reduced"));
        if (!reduction && !logLinePattern().match(text).hasMatch()) {
            return QStringLiteral("line ") + QString::number(i + 1) + QStringLiteral(": ") + text;
        }
    }
    return {};
}

}  // namespace kestrix
