// The operator window's line for stopped modules: a module stopped off screen is seen without
// scrolling, and one click brings it into view.

#include <algorithm>
#include <vector>

#include "app/KestrixCentral.h"
#include "app/LoadedForms.h"
#include "app/OperatorSession.h"
#include "host/PluginHost.h"

namespace kestrix {

void OperatorSession::StoppedModules_Change() {
    const std::vector<int16_t> stopped = Host->stoppedSlots();
    QPushButton* line = window_->cmdStopped();
    if (stopped.empty()) {
        line->hide();
        return;
    }
    if (stopped.size() == 1) {
        const PluginSlot& module = Host->slot(stopped.front());
        line->setText(QStringLiteral("Stopped: unit %1, machine %2  %3. Show it")
                          .arg(module.Unit)
                          .arg(module.Machine)
                          .arg(module.MachineName));
    } else {
        line->setText(QStringLiteral("Stopped: %1 modules. Show the next").arg(stopped.size()));
    }
    line->show();
}

// The next stopped module after the one shown last, from the first again after the last.
void OperatorSession::cmdStopped_Click() {
    RunningProcedures::Running running(forms_.procedures());
    if (ProgramEnding) {
        return;
    }
    const std::vector<int16_t> stopped = Host->stoppedSlots();
    if (stopped.empty()) {
        return;
    }
    const auto next = std::upper_bound(stopped.begin(), stopped.end(), ShownStoppedSlot);
    ShownStoppedSlot = next != stopped.end() ? *next : stopped.front();
    Host->ShowModule(ShownStoppedSlot);
}

}  // namespace kestrix
