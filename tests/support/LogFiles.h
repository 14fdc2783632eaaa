#pragma once

// Shared by the log writer's tests: the moment they write at and the locale whose forms they know
// by heart (files are read and written with TestFiles.h).

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

}  // namespace kestrix::logtest
