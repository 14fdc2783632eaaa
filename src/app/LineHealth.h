#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

#include "app/MetricsFile.h"
#include "host/PluginHost.h"

namespace kestrix {

// What the plant's monitoring and the service manager learn of the line: the modules configured,
// running and stopped, the faults and events since the start by ProgID, the restarts, the life
// sign's last tick and the line's start time. It tells the service manager the modules' state
// ("N modules running, M stopped") once they have started, and keeps the metrics file (when
// Kestrix.ini names a folder for it) at most a second behind, written only on a change.
class LineHealth : public QObject {
    Q_OBJECT
public:
    // The modules' counts are read from the host whenever they are needed.
    explicit LineHealth(std::function<PluginHost::ModuleCounts()> moduleCounts);

    // Kestrix.ini [Monitoring] TextfileDirectory: where the metrics file goes; empty for none.
    void setTextfileDirectory(const QString& folder);

    // The modules have been started: from here on their state is the service's status.
    void modulesStarted();
    // A module stopped or was restarted (the counts come from the host).
    void modulesChanged();
    // A fault line of the log, counted under its ProgID (empty when it names none).
    void faultLine(const QString& text);
    void eventShown(const QString& progId);
    void moduleRestarted();
    // TimerLeben's tick: the window's life sign.
    void lifeTick();

    // The service's status: "N modules running, M stopped".
    QString statusText() const;
    // The metrics in Prometheus' text format.
    QByteArray metricsText() const;

private:
    void changed();
    void writeMetrics();

    std::function<PluginHost::ModuleCounts()> moduleCounts_;
    const std::chrono::system_clock::time_point started_ = std::chrono::system_clock::now();
    std::chrono::system_clock::time_point lastLifeTick_{};
    std::chrono::steady_clock::time_point lastLifeTickSteady_{};
    bool ticked_ = false;
    bool modulesStarted_ = false;
    QMap<QString, int> faults_;
    QMap<QString, int> events_;
    int restarts_ = 0;

    MetricsFile metrics_{QString()};
    // At most one write a second: a change while it runs is written when it ends.
    QTimer writePause_{this};
    bool unwritten_ = false;
    QString toldStatus_;
};

}  // namespace kestrix
