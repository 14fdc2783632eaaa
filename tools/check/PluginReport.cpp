#include "PluginReport.h"

#include <QJsonDocument>
#include <QStringList>
#include <cstring>
#include <iostream>

namespace kestrix::check {
namespace {

QString field(const QJsonObject& record, const char* name) {
    return record.value(QLatin1String(name)).toString();
}

QString compact(const QJsonValue& value) {
    if (value.isString()) {
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    }
    if (value.isObject()) {
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    }
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

QString listOf(const QJsonArray& values, const std::function<QString(const QJsonValue&)>& show) {
    QStringList shown;
    for (const QJsonValue& value : values) {
        shown.append(show(value));
    }
    return shown.join(QStringLiteral(", "));
}

// "in Init" or "from Init"; before the first step the library was being loaded.
QString where(const char* preposition, const QString& step) {
    return step.isEmpty() ? QStringLiteral("while loading")
                          : QLatin1String(preposition) + QLatin1Char(' ') + step;
}

QString counted(qsizetype count, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun),
                                                    count == 1 ? QString() : QStringLiteral("s"));
}

}  // namespace

void PluginReport::add(const QJsonObject& record) {
    const QString kind = field(record, "record");
    if (kind == QLatin1String("library")) {
        for (auto it = record.begin(); it != record.end(); ++it) {
            if (it.key() != QLatin1String("record")) {
                report_.insert(it.key(), it.value());
            }
        }
        const QString file = field(record, "file");
        print(file.isEmpty()
                  ? QStringLiteral("library: none serves ProgID ") + field(record, "progId")
                  : QStringLiteral("library: ") + file);
        if (file.isEmpty()) {
            return;
        }
        print(QStringLiteral("ProgID: ") + field(record, "progId"));
        const QJsonArray shadows = record.value(QLatin1String("shadows")).toArray();
        if (!shadows.isEmpty()) {
            print(QStringLiteral("shadows: ") +
                  listOf(shadows, [](const QJsonValue& v) { return v.toString(); }));
        }
        print(QStringLiteral("metadata: ") + compact(record.value(QLatin1String("metaData"))));
        print(QStringLiteral("interface: %1, class %2")
                  .arg(field(record, "iid"), field(record, "className")));
    } else if (kind == QLatin1String("skipped")) {
        skipped_.append(record.value(QLatin1String("line")));
        print(field(record, "line"));
    } else if (kind == QLatin1String("members")) {
        for (auto it = record.begin(); it != record.end(); ++it) {
            if (it.key() != QLatin1String("record")) {
                report_.insert(it.key(), it.value());
            }
        }
        print(QStringLiteral("members the host calls:"));
        for (const QJsonValue& member : record.value(QLatin1String("members")).toArray()) {
            const QString reaches = member.toObject().value(QLatin1String("reaches")).toString();
            const QString why = member.toObject().value(QLatin1String("why")).toString();
            print(QStringLiteral("  %1: %2%3")
                      .arg(member.toObject().value(QLatin1String("use")).toString(),
                           reaches.isEmpty() ? QStringLiteral("missing (the shell logs fault 438)")
                                             : reaches,
                           why.isEmpty() ? QString() : QStringLiteral(": ") + why));
        }
        const QJsonArray dispIds = record.value(QLatin1String("dispIds")).toArray();
        print(
            QStringLiteral("dispatch ids: ") +
            (dispIds.isEmpty() ? QStringLiteral("none") : listOf(dispIds, [](const QJsonValue& v) {
                return v.toObject().value(QLatin1String("dispId")).toString() + QLatin1Char(' ') +
                       v.toObject().value(QLatin1String("member")).toString();
            })));
        const QJsonArray events = record.value(QLatin1String("events")).toArray();
        print(QStringLiteral("events: ") +
              (events.isEmpty() ? QStringLiteral("none") : listOf(events, [](const QJsonValue& v) {
                  return v.toString();
              })));
    } else if (kind == QLatin1String("step")) {
        steps_.append(QJsonObject{{QStringLiteral("step"), record.value(QLatin1String("step"))},
                                  {QStringLiteral("call"), record.value(QLatin1String("call"))}});
        findingsBeforeStep_ = findings_.size();
        print(field(record, "call"));
    } else if (kind == QLatin1String("finding")) {
        const QString findingKind = field(record, "kind");
        addFinding(field(record, "step"),
                   findingKind.isEmpty() ? QStringLiteral("fault") : findingKind,
                   field(record, "text"));
    } else if (kind == QLatin1String("survivor")) {
        addSurvivor(field(record, "step"),
                    Survivor{static_cast<pid_t>(record.value(QLatin1String("pid")).toInteger()),
                             field(record, "command"), false});
    } else if (kind == QLatin1String("event")) {
        QJsonObject event = record;
        event.remove(QStringLiteral("record"));
        events_.append(event);
        print(QStringLiteral("  event: slot %1, box \"%2\", arguments (%3)")
                  .arg(record.value(QLatin1String("slot")).toInt())
                  .arg(field(record, "box"),
                       listOf(record.value(QLatin1String("arguments")).toArray(), compact)));
    } else if (kind == QLatin1String("height")) {
        report_.insert(QStringLiteral("height"), record.value(QLatin1String("twips")));
        print(QStringLiteral("  %1 twips (%2 pixels)")
                  .arg(record.value(QLatin1String("twips")).toDouble())
                  .arg(record.value(QLatin1String("pixels")).toInt()));
    } else if (kind == QLatin1String("note")) {
        notes_.append(record.value(QLatin1String("text")));
        print(QStringLiteral("note: ") + field(record, "text"));
    } else if (kind == QLatin1String("done") && findings_.size() == findingsBeforeStep_) {
        print(QStringLiteral("  ok"));
    }
}

void PluginReport::childEnded(const ChildEnd& end) {
    if (end.forgedLines > 0) {
        addFinding(end.step, QStringLiteral("forged"),
                   QStringLiteral("%1 on the container's record channel did not come from the "
                                  "container: the plug-in writes to descriptors it does not own")
                       .arg(counted(end.forgedLines, "line")));
    }
    // What is left came from the checker's own load of the library (to read its members), or
    // left the module's process group.
    for (const Survivor& survivor : end.survivors) {
        addSurvivor(end.step, survivor);
    }
    reportEnd(end);
}

// A process is named once, also when both the container (before the module's process ended what
// was below it) and the end of the run found it.
void PluginReport::addSurvivor(const QString& step, const Survivor& survivor) {
    if (!survivorsNamed_.insert(survivor.pid).second) {
        return;
    }
    addFinding(step, QStringLiteral("survivor"),
               (survivor.inChildsGroup
                    ? QStringLiteral("process %1 (%2), started when the library was loaded in "
                                     "the checker's own process, outlived it; a shell that "
                                     "runs its modules in its own process would keep it "
                                     "running (ended it)")
                    : QStringLiteral("process %1 (%2) left the module's process group and "
                                     "still ran as the module ended; a kill of that group "
                                     "would not end it (ended it)"))
                   .arg(survivor.pid)
                   .arg(survivor.command));
}

// The container's own process runs no module code but the reading of the control's members; its
// crash, exit or hang is reported as such.
void PluginReport::reportEnd(const ChildEnd& end) {
    switch (end.kind) {
        case ChildEnd::Kind::Finished:
            return;
        case ChildEnd::Kind::Crashed:
            addFinding(end.step, QStringLiteral("crash"),
                       QStringLiteral("the container's process crashed %1 (signal %2, %3)")
                           .arg(where("in", end.step))
                           .arg(end.code)
                           .arg(QString::fromLocal8Bit(strsignal(end.code))));
            return;
        case ChildEnd::Kind::Exited:
            addFinding(end.step, QStringLiteral("exit"),
                       QStringLiteral("the container's process ended %1 (exit status %2)")
                           .arg(where("in", end.step))
                           .arg(end.code));
            return;
        case ChildEnd::Kind::TimedOut:
            addFinding(end.step, QStringLiteral("hang"),
                       QStringLiteral("the container's process did not finish %1 within %2 s "
                                      "(ended it)")
                           .arg(end.step.isEmpty() ? QStringLiteral("loading") : end.step)
                           .arg(end.allowanceSeconds));
            return;
    }
}

void PluginReport::finish() {
    if (json_) {
        report_.insert(QStringLiteral("skipped"), skipped_);
        report_.insert(QStringLiteral("steps"), steps_);
        report_.insert(QStringLiteral("events"), events_);
        report_.insert(QStringLiteral("findings"), findings_);
        report_.insert(QStringLiteral("notes"), notes_);
        report_.insert(QStringLiteral("fit"), fit());
        std::cout << QJsonDocument(report_).toJson(QJsonDocument::Indented).constData();
        return;
    }
    print(fit()
              ? QStringLiteral("verdict: fit for a line (%1)").arg(counted(events_.size(), "event"))
              : QStringLiteral("verdict: not fit for a line (%1)")
                    .arg(counted(findings_.size(), "finding")));
}

void PluginReport::addFinding(const QString& step, const QString& kind, const QString& text) {
    findings_.append(QJsonObject{{QStringLiteral("step"), step},
                                 {QStringLiteral("kind"), kind},
                                 {QStringLiteral("text"), text}});
    print(QStringLiteral("  %1: %2").arg(kind, text));
}

// What a plug-in names (its ProgID, its file, its texts) reaches the terminal with its control
// characters escaped, so that it cannot move the cursor or forge a line of the report.
void PluginReport::print(const QString& line) const {
    if (!json_) {
        std::cout << printable(line).toLocal8Bit().constData() << std::endl;
    }
}

QString printable(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= 0x20 && code != 0x7f && !(code >= 0x80 && code < 0xa0)) {
            shown.append(c);
        } else if (code == '\n') {
            shown.append(QLatin1String("\\n"));
        } else if (code == '\r') {
            shown.append(QLatin1String("\\r"));
        } else if (code == '\t') {
            shown.append(QLatin1String("\\t"));
        } else {
            shown.append(
                QStringLiteral("\\x%1").arg(static_cast<int>(code), 2, 16, QLatin1Char('0')));
        }
    }
    return shown;
}

}  // namespace kestrix::check
