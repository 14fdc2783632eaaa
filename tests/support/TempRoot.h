#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

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

    void writeProgramIni(const QByteArray& content) const { write(programIni(), content); }
    void writeKestrixIni(const QByteArray& content) const { write(kestrixIni(), content); }

    static void write(const QString& file, const QByteArray& content) {
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out.write(content);
        }
    }

    static QByteArray read(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    // The texts of the log's lines, without the "hh:mm:ss mm.dd.yy " stamp after the flags.
    static QStringList logTexts(const QString& file) {
        QStringList texts;
        for (const QByteArray& line : read(file).split('\n')) {
            QString text = QString::fromLatin1(line).chopped(line.endsWith('\r') ? 1 : 0);
            if (text.isEmpty()) {
                continue;
            }
            // Flags are single letters followed by a blank; the stamp is 18 characters.
            qsizetype stamp = 0;
            while (stamp + 1 < text.size() && text[stamp + 1] == QLatin1Char(' ') &&
                   text[stamp].isUpper()) {
                stamp += 2;
            }
            texts.append(text.left(stamp) + text.mid(stamp + 18));
        }
        return texts;
    }

private:
    QTemporaryDir dir_;
};

}  // namespace kestrix
