#pragma once

#include <QObject>
#include <functional>

namespace kestrix {

// Whether a modal window of the shell's is shown: an event box, the end's question, any dialog
// that is modal. Qt keeps the input from the shell's other windows meanwhile, but not from the
// modules' windows, which belong to other processes: they are told to refuse it themselves.
// Watches every window of the shell's as it is shown or hidden, and says when the answer changes.
class ModalInputBlock final : public QObject {
public:
    explicit ModalInputBlock(std::function<void(bool blocked)> changed);
    ~ModalInputBlock() override;

    bool isBlocking() const { return blocking_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool modalWindowShown();

    std::function<void(bool)> changed_;
    bool blocking_ = false;
};

}  // namespace kestrix
