#include <chrono>

#include "fault/Fault.h"
#include "host/PluginHost.h"
#include "journal/LineRecords.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"
#include "platform/Dialogs.h"

namespace kestrix {

// Every event of a module becomes one modal box naming its slot and the event; the module's
// event call returns when the operator has closed it. Each open box runs a nested event loop in
// which further events arrive, so the boxes nest; beyond MaxOpenEventBoxes an event waits in a
// queue and returns at once, and the innermost box shows the waiting events one after the other
// as the operator closes them. So no event is lost and the stack stays bounded.
void PluginHost::OCXEreignis(int16_t slot, const EventInfo& info) {
    FaultScope p(log_, ModuleCalls::EventSource);
    p.step([&] { waitForBox(ModuleCalls::eventBoxText(slot, info.Name)); });
    while (openBoxes_ < MaxOpenEventBoxes && !waitingBoxes_.empty()) {
        const QString text = boxTexts_[waitingBoxes_.front()];
        waitingBoxes_.pop_front();
        reportDroppedEvents();
        ++openBoxes_;
        const auto opened = std::chrono::steady_clock::now();
        p.step([&] { dialogs_.MsgBox(text, MsgBoxStyle::OkOnly); });
        --openBoxes_;
        recordEventShown(text, std::chrono::steady_clock::now() - opened);
    }
}

// The journal's record of the event, and the line's count of events by ProgID.
void PluginHost::recordEventShown(const QString& boxText, std::chrono::nanoseconds open) {
    const ModuleCalls::BoxedEvent event = ModuleCalls::eventOfBoxText(boxText);
    const QString progId = event.slot >= 1 && event.slot <= ModuleCalls::SlotCount
                               ? slots_[static_cast<size_t>(event.slot - 1)].ProgID
                               : QString();
    journalEventShown(event.slot, progId, event.name,
                      std::chrono::duration_cast<std::chrono::milliseconds>(open));
    Q_EMIT eventShown(event.slot, progId);
}

void PluginHost::waitForBox(const QString& text) {
    // Amortised: the texts are counted over again only when they have grown well beyond the
    // waiting events.
    if (waitingBoxes_.empty() ||
        boxTexts_.size() >= static_cast<size_t>(MaxKeptBoxTexts) + 2 * waitingBoxes_.size()) {
        keepOnlyWaitingBoxTexts();
    }
    auto known = boxTextNumbers_.constFind(text);
    if (known == boxTextNumbers_.constEnd()) {
        known = boxTextNumbers_.insert(text, static_cast<uint32_t>(boxTexts_.size()));
        boxTexts_.push_back(text);
    }
    waitingBoxes_.push_back(*known);
    if (waitingBoxes_.size() > static_cast<size_t>(MaxWaitingEvents)) {
        waitingBoxes_.pop_front();
        ++droppedEvents_;
    }
}

// The texts kept are those of the waiting events, numbered afresh: a module that raises ever new
// events cannot make the shell keep every text it ever showed.
void PluginHost::keepOnlyWaitingBoxTexts() {
    std::vector<QString> kept;
    QHash<QString, uint32_t> numbers;
    for (uint32_t& waiting : waitingBoxes_) {
        const QString& text = boxTexts_[waiting];
        auto known = numbers.constFind(text);
        if (known == numbers.constEnd()) {
            known = numbers.insert(text, static_cast<uint32_t>(kept.size()));
            kept.push_back(text);
        }
        waiting = *known;
    }
    boxTexts_ = std::move(kept);
    boxTextNumbers_ = std::move(numbers);
}

// A fault line like any other, so that it reaches the log whatever is logged and the "Log File"
// button turns red: the operator has missed events. It is an out-of-memory fault (7) of the
// program's own: the events were dropped because the room kept for waiting ones was full.
void PluginHost::reportDroppedEvents() noexcept {
    if (droppedEvents_ == 0) {
        return;
    }
    const Fault dropped(
        ErrorNumber::OutOfMemory,
        QString::number(droppedEvents_) +
            QStringLiteral(" events dropped unshown, the oldest first: more than ") +
            QString::number(MaxWaitingEvents) + QStringLiteral(" were waiting"));
    log_.WriteLogLine(faultLine(dropped, QStringLiteral("KX.OCXEreignis")), LogWriter::Line::Error);
    droppedEvents_ = 0;
}

}  // namespace kestrix
