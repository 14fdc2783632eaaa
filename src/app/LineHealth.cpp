#include "app/LineHealth.h"

#include <utility>

#include "journal/LogLineEntry.h"
#include "supervision/ServiceNotify.h"

namespace kestrix {

namespace {

constexpr int WritePauseMs = 1000;

double unixSeconds(std::chrono::system_clock::time_point at) {
    return std::chrono::duration<double>(at.time_since_epoch()).count();
}

// A label value in the text format: backslash, quote and line break escaped.
QByteArray labelValue(const QString& value) {
    QByteArray escaped = value.toUtf8();
    escaped.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return escaped;
}

void addMetric(QByteArray& text, const char* name, const char* type, const char* help) {
    text += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void addSample(QByteArray& text, const char* name, double value) {
    text += QByteArray(name) + ' ' + QByteArray::number(value, 'g', 15) + '\n';
}

void addByProgId(QByteArray& text, const char* name, const QMap<QString, int>& counts) {
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        text += QByteArray(name) + "{progid=\"" + labelValue(it.key()) + "\"} " +
                QByteArray::number(it.value()) + '\n';
    }
}

}  // namespace

LineHealth::LineHealth(std::function<PluginHost::ModuleCounts()> moduleCounts)
    : moduleCounts_(std::move(moduleCounts)) {
    writePause_.setSingleShot(true);
    writePause_.setInterval(WritePauseMs);
    connect(&writePause_, &QTimer::timeout, this, [this] {
        if (unwritten_) {
            writeMetrics();
        }
    });
}

void LineHealth::setTextfileDirectory(const QString& folder) {
    if (folder == metrics_.folder()) {
        return;
    }
    metrics_ = MetricsFile(folder);
    changed();
}

void LineHealth::modulesStarted() {
    modulesStarted_ = true;
    changed();
}

void LineHealth::modulesChanged() {
    changed();
}

void LineHealth::faultLine(const QString& text) {
    ++faults_[readLogLine(text).progId];
    changed();
}

void LineHealth::eventShown(const QString& progId) {
    ++events_[progId];
    changed();
}

void LineHealth::moduleRestarted() {
    ++restarts_;
    changed();
}

void LineHealth::lifeTick() {
    lastLifeTick_ = std::chrono::system_clock::now();
    lastLifeTickSteady_ = std::chrono::steady_clock::now();
    ticked_ = true;
    changed();
}

QString LineHealth::statusText() const {
    const PluginHost::ModuleCounts counts = moduleCounts_();
    return QStringLiteral("%1 modules running, %2 stopped").arg(counts.running).arg(counts.stopped);
}

QByteArray LineHealth::metricsText() const {
    const PluginHost::ModuleCounts counts = moduleCounts_();
    QByteArray text;
    addMetric(text, "kestrix_line_start_time_seconds", "gauge",
              "When the line's shell started, in seconds since 1970.");
    addSample(text, "kestrix_line_start_time_seconds", unixSeconds(started_));
    addMetric(text, "kestrix_modules_configured", "gauge",
              "Modules the line's configuration asks for.");
    addSample(text, "kestrix_modules_configured", counts.configured);
    addMetric(text, "kestrix_modules_running", "gauge", "Modules created and running.");
    addSample(text, "kestrix_modules_running", counts.running);
    addMetric(text, "kestrix_modules_stopped", "gauge",
              "Modules whose process died or hung, not restarted since.");
    addSample(text, "kestrix_modules_stopped", counts.stopped);
    addMetric(text, "kestrix_faults_total", "counter",
              "Fault lines since the start, by the ProgID of the module they name (empty: none).");
    addByProgId(text, "kestrix_faults_total", faults_);
    addMetric(text, "kestrix_events_total", "counter",
              "Module events shown to the operator since the start, by ProgID.");
    addByProgId(text, "kestrix_events_total", events_);
    addMetric(text, "kestrix_module_restarts_total", "counter",
              "Stopped modules the operator restarted since the start.");
    addSample(text, "kestrix_module_restarts_total", restarts_);
    if (ticked_) {
        addMetric(text, "kestrix_life_tick_timestamp_seconds", "gauge",
                  "When the operator window's life sign last ticked, in seconds since 1970.");
        addSample(text, "kestrix_life_tick_timestamp_seconds", unixSeconds(lastLifeTick_));
        addMetric(text, "kestrix_life_tick_age_seconds", "gauge",
                  "Seconds since the life sign's last tick when the file was written.");
        addSample(
            text, "kestrix_life_tick_age_seconds",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - lastLifeTickSteady_)
                .count());
    }
    return text;
}

void LineHealth::changed() {
    if (modulesStarted_ && statusText() != toldStatus_) {
        toldStatus_ = statusText();
        notifyStatus(toldStatus_);
    }
    if (!metrics_.isOn()) {
        return;
    }
    unwritten_ = true;
    if (!writePause_.isActive()) {
        writeMetrics();
    }
}

void LineHealth::writeMetrics() {
    unwritten_ = false;
    metrics_.write(metricsText());
    writePause_.start();
}

}  // namespace kestrix
