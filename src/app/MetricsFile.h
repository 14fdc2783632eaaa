#pragma once

#include <QByteArray>
#include <QString>

namespace kestrix {

// The line's health for the plant's monitoring: a file in Prometheus' text format in the folder
// that the node exporter's textfile collector reads (Kestrix.ini [Monitoring] TextfileDirectory).
// Each write replaces the whole file in one rename, so the collector never reads half of one.
class MetricsFile {
public:
    // The file's name in its folder; the collector reads "*.prom" files only, and the copy being
    // written has another name.
    static constexpr char FileName[] = "kestrix.prom";

    explicit MetricsFile(QString folder);

    bool isOn() const { return !folder_.isEmpty(); }
    const QString& folder() const { return folder_; }
    QString path() const;

    // Writes the text to a fresh file in the folder and renames it over the last one. False when
    // that fails (the last file stays as it was); the first failure is a notice.
    bool write(const QByteArray& text);

private:
    QString folder_;
    bool failureReported_ = false;
};

}  // namespace kestrix
