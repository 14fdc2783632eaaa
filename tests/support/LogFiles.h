#pragma once

// Shared by the log writer's tests: the moment they write at, the locale whose forms they know
// by heart and the numbered lines they fill logs with (files are read and written with
// TestFiles.h).

#include <QByteArray>
#include <QLocale>

#include "TestFiles.h"
#include "platform/Clock.h"

namespace kestrix::logtest {

inline const LocalDateTime Friday{2026, 3, 27, 9, 41, 5};

// The locale the tests reduce in, and the reduction line it gives on Friday: the short date
// "dd.MM.yy" and the time "HH:mm:ss".
inline QLocale germanLocale() {
    return QLocale(QLocale::German, QLocale::Germany);
}
inline const QByteArray FridayReductionLine = "27.03.26; 09:41:05; File size reduced\r\n";

// The text of line `number` that makes a system line of `length` bytes on Friday: "line 000042 "
// filled up with x. Each number gives a different line.
inline QByteArray numberedText(long number, qsizetype length) {
    const QByteArray text =
        "line " + QByteArray::number(qlonglong{number}).rightJustified(6, '0') + ' ';
    return text.leftJustified(length - 22, 'x', true);
}

// That line as the log holds it: flag, stamp, text and CRLF.
inline QByteArray numberedLine(long number, qsizetype length) {
    return "S 09:41:05 03.27.26 " + numberedText(number, length) + "\r\n";
}

// `count` such lines, numbered from `first`.
inline QByteArray numberedLines(long first, long count, qsizetype length) {
    QByteArray lines;
    for (long number = first; number < first + count; ++number) {
        lines += numberedLine(number, length);
    }
    return lines;
}

}  // namespace kestrix::logtest
