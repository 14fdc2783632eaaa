// The module of the event benchmark: asked to, it raises Echo again and again, each carrying the
// moment of its emit on the monotonic clock (one clock for all processes of the machine), and
// keeps how long each emit took to return, that is until the host's handler had returned.
#include <kestrix/ControlPlugin.h>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <vector>

namespace kestrix::bench {

class EchoModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double MedianEmitNs READ medianEmitNs)
public:
    using QWidget::QWidget;

    // Raises the events from the module's own timer once the call has returned, as a module's
    // measurements arrive; a call's answer does not wait for them.
    Q_INVOKABLE void Emit(int count, bool /*value*/) {
        QTimer::singleShot(0, this, [this, count] {
            emitNs_.clear();
            for (int i = 0; i < count; ++i) {
                const qint64 emitted = nowNs();
                emit Echo(emitted);
                emitNs_.push_back(nowNs() - emitted);
            }
        });
    }

    // The median time from an emit to its return, of the last Emit's events.
    double medianEmitNs() {
        if (emitNs_.empty()) {
            return -1;
        }
        auto middle = emitNs_.begin() + static_cast<std::ptrdiff_t>(emitNs_.size() / 2);
        std::nth_element(emitNs_.begin(), middle, emitNs_.end());
        return static_cast<double>(*middle);
    }

    static qint64 nowNs() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

Q_SIGNALS:
    void Echo(qint64 emittedNs);

private:
    std::vector<qint64> emitNs_;
};

}  // namespace kestrix::bench

KESTRIX_CONTROL_PLUGIN(EchoModulePlugin, kestrix::bench::EchoModule)

#include "echo_module_plugin.moc"
