#pragma once

// Shared by the log writer's tests: the moment they write at, the locale whose forms they know by
// heart, and plain reading and writing of files.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QString>

#include "platform/Clock.h"

namespace kestrix::logtest {

inline const LocalDateTime Friday{2026, 3, 27, 9, 41, 5};

// The locale the tests reduce in, and the reduction line it gives on Friday: the short date
// "dd.MM.yy" and the time "HH:mm:ss".
inline QLocale germanLocale() {
    return QLocale(QLocale::German, QLocale::Germany);
}
inline const QByteArray FridayReductionLine = "27.03.26; 09:41:05; File size reduced\r\n";

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(content), content.size());
}

}  // namespace kestrix::logtest
