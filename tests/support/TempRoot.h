#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "TestFiles.h"

namespace kestrix {

// An installation root in a temporary folder: <root>/Parameter/Program.ini and
// <root>/Program/Kestrix/Kestrix.ini, written by the test.
class TempRoot {
public:
    TempRoot() {
        QDir(path()).mkpath(QStringLiteral("Parameter"));
        QDir(path()).mkpath(QStringLiteral("Program/Kestrix"));
    }

    QString path() const { return dir_.path(); }
    QString programDirectory() const { return path() + QStringLiteral("/Program/Kestrix"); }
    QString programIni() const { return path() + QStringLiteral("/Parameter/Program.ini"); }
    QString kestrixIni() const { return programDirectory() + QStringLiteral("/Kestrix.ini"); }
    QString defaultLog() const { return programDirectory() + QStringLiteral("/Kestrix.log"); }

    void writeProgramIni(const QByteArray& content) const { writeFile(programIni(), content); }
    void writeKestrixIni(const QByteArray& content) const { writeFile(kestrixIni(), content); }

private:
    QTemporaryDir dir_;
};

}  // namespace kestrix
