#pragma once

#include <functional>
#include <utility>

namespace kestrix {

// Counts the procedures of the program's windows that are running, that is on the stack, maybe
// waiting in a yield or a modal box. A nested pass of the event loop inside a running procedure
// may carry out anything, the end of the program included; so whatever such a procedure uses is
// destroyed only once none is running. Every entry point of a window (a click, a tick, an event
// of a control or of the runtime) holds a Running for as long as it runs.
class RunningProcedures {
public:
    class Running {
    public:
        explicit Running(RunningProcedures& procedures) : procedures_(procedures) {
            ++procedures_.count_;
        }
        ~Running() {
            if (--procedures_.count_ == 0 && procedures_.noneRunning_) {
                procedures_.noneRunning_();
            }
        }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        RunningProcedures& procedures_;
    };

    bool noneRunning() const { return count_ == 0; }

    // Called each time the last running procedure has returned.
    void onNoneRunning(std::function<void()> then) { noneRunning_ = std::move(then); }

private:
    int count_ = 0;
    std::function<void()> noneRunning_;
};

}  // namespace kestrix
