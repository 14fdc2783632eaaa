#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <set>

#include "IsolatedRun.h"

namespace kestrix::check {

// The container's report: the records of the isolated run, printed as they arrive (text), or
// gathered into one JSON object printed at the end (--json); then the verdict. A plug-in is fit
// for a line when the run gave no finding: no fault line, no crash, no hang, nothing refused,
// no process left behind. Notes tell the vendor, and are no finding.
class PluginReport {
public:
    explicit PluginReport(bool json) : json_(json) {}

    void add(const QJsonObject& record);
    // A run that did not finish is a finding of its own.
    void childEnded(const ChildEnd& end);
    // Prints the verdict, or the whole report as JSON.
    void finish();
    bool fit() const { return findings_.isEmpty(); }

private:
    void reportEnd(const ChildEnd& end);
    void addSurvivor(const QString& step, const Survivor& survivor);
    void addFinding(const QString& step, const QString& kind, const QString& text);
    void print(const QString& line) const;

    bool json_;
    QJsonObject report_;
    QJsonArray steps_;
    QJsonArray events_;
    QJsonArray findings_;
    QJsonArray skipped_;
    QJsonArray notes_;
    qsizetype findingsBeforeStep_ = 0;
    std::set<pid_t> survivorsNamed_;
};

// The text with its control characters written as escapes: \n, \r, \t, \xHH.
QString printable(const QString& text);

}  // namespace kestrix::check
