// The journal's fields of a log line, read back from the line's text: a fault line's number,
// fault source and source string whatever its description holds, and the module a source string
// names.

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "fault/Fault.h"
#include "journal/LogLineEntry.h"

namespace kestrix {
namespace {

// Random text from pieces that a fault line's parts may hold, separators among them.
QString randomText(QRandomGenerator& random, bool mayBeEmpty) {
    static const QStringList pieces = {"; ",  ";",           " ", "Fault",       "KX.O3", "Object:",
                                       "[7]", "relay stuck", "ä", "XKX_OCR.OCR", "440",   ":"};
    QString text;
    const int count = static_cast<int>(random.bounded(mayBeEmpty ? 0 : 1, 6));
    for (int i = 0; i < count; ++i) {
        text += pieces[static_cast<int>(random.bounded(pieces.size()))];
    }
    return text;
}

QString withoutSeparator(QString text) {
    while (text.contains(QStringLiteral("; "))) {
        text.remove(QStringLiteral("; "));
    }
    return text;
}

TEST(JournalFields, AFaultLineIsReadBackIntoItsParts) {
    QRandomGenerator random(27);
    for (int round = 0; round < 2000; ++round) {
        const int32_t number = static_cast<int32_t>(random.bounded(-100000, 100000));
        const QString description = randomText(random, true);
        // The two parts at the end are names without the separator, as the shell makes them.
        const QString faultSource = withoutSeparator(randomText(random, false));
        const QString sourceString = withoutSeparator(randomText(random, false));
        if (faultSource.endsWith(';') || sourceString.endsWith(';')) {
            continue;  // ";" + "; " reads as "; " + ";"
        }
        const QString line = faultLine(Fault(number, description, faultSource), sourceString);
        const std::optional<FaultLineParts> parts = readFaultLine(line);
        ASSERT_TRUE(parts.has_value()) << line.toStdString();
        EXPECT_EQ(parts->number, number) << line.toStdString();
        EXPECT_EQ(parts->description, description) << line.toStdString();
        EXPECT_EQ(parts->faultSource, faultSource) << line.toStdString();
        EXPECT_EQ(parts->sourceString, sourceString) << line.toStdString();
    }
    for (const char* notFault : {"KX.NeuesObjekt An ", "Fault x; a; b; c", "Fault 5; a; b", ""}) {
        EXPECT_FALSE(readFaultLine(QString::fromUtf8(notFault)).has_value()) << notFault;
    }
}

TEST(JournalFields, TheSourceAndTheModuleOfALine) {
    struct Case {
        const char* text;
        const char* source;
        int32_t fault;
        int slot;
        const char* progId;
    };
    const Case cases[] = {
        {"KX.TimerLeben_Timer 100En ", "KX.TimerLeben_Timer", 0, 0, ""},
        {"FormActivate Start ", "FormActivate", 0, 0, ""},
        {"Fault 440; the module in slot 3 stopped: its process ended on signal 11 (Segmentation "
         "fault); XKX_OCR.OCR; KX.O3",
         "KX.O3", 440, 3, "XKX_OCR.OCR"},
        {"Fault 429; Cannot create object; Kestrix; KX.NeuesObjekt Object:XKX_Xmelt.Xmelt[12]",
         "KX.NeuesObjekt Object:XKX_Xmelt.Xmelt[12]", 429, 12, "XKX_Xmelt.Xmelt"},
        {"Fault 9; Subscript out of range; Kestrix; KX.OCXEreignis", "KX.OCXEreignis", 9, 0, ""},
        {"Fault 6; Overflow; Kestrix; KX.Orange", "KX.Orange", 6, 0, ""},
        {"Fault 440; Automation error; XKX_Tarvo.Tarvo; KX.NeuesObjekt", "KX.NeuesObjekt", 440, 0,
         "XKX_Tarvo.Tarvo"},
    };
    for (const Case& c : cases) {
        const LogLineFields fields = readLogLine(QString::fromUtf8(c.text));
        EXPECT_EQ(fields.source, QString::fromUtf8(c.source)) << c.text;
        EXPECT_EQ(fields.fault, c.fault) << c.text;
        EXPECT_EQ(fields.slot, c.slot) << c.text;
        EXPECT_EQ(fields.progId, QString::fromUtf8(c.progId)) << c.text;
    }
}

}  // namespace
}  // namespace kestrix
