#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <memory>
#include <vector>

#include "channel/KeyboardFocus.h"
#include "channel/ModuleChannel.h"
#include "fault/Fault.h"
#include "host/EventInfo.h"
#include "host/PluginControlFactory.h"
#include "platform/x11/PaintWhileInView.h"

class QEventLoop;

namespace kestrix {

class Extender;

// The module host's side of the channel: creates the one control the shell asks for, in a window
// of its own that it places into the shell's frame, and serves the shell's calls on it through
// the same extender and late binding as the shell's own process would. The control's events go
// to the shell, and each emit returns when the shell says its box has been closed; the host
// serves the shell's calls meanwhile. When the shell says the module's end has come (after its
// Terminate), the host destroys the control and ends by itself; when the shell is gone it ends at
// once.
class ModuleServer : public QObject {
    Q_OBJECT
public:
    explicit ModuleServer(int channelDescriptor);
    ~ModuleServer() override;

    // A fault that escaped the module's own code, for the shell's log.
    void reportOwnFault(const Fault& fault);
    // Ends the host at once, and with it what the module started: its process group and whatever
    // became the host's child (the host is their subreaper). Safe in a signal handler.
    static void endWithItsGroup();

private:
    struct WaitingEvent {
        uint32_t number;
        QEventLoop* loop;
        bool done = false;
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    void received(const ModuleMessage& message);
    // Runs one call of the shell's and answers it with its values or its fault.
    template <class Work>
    void answer(const ModuleMessage& message, Work&& work);
    // The shell's message as its kind; type mismatch (13) when it does not read as one.
    template <class Typed>
    static Typed read(const ModuleMessage& message);
    void prepareWindow();
    QVariantList create(const Message::Create& message);
    Extender& control();
    void place(const Message::Place& place);
    void takeFocus(bool forward);
    // Whether the event is the pointer's or the keyboard's, aimed at the control's window.
    bool isInputToWindow(QObject* watched, const QEvent* event) const;
    // Whether the event is a key that reached the window while the shell holds the keyboard.
    bool isKeyForShell(QObject* watched, const QEvent* event) const;
    void sendFocusLeft(bool forward);
    void forwardEvent(const EventInfo& info);
    void eventDone(uint32_t number);
    // Destroys the control once no emit of it waits, then ends the host in order.
    void end();

    ModuleChannel channel_;
    std::unique_ptr<PluginControlFactory> registry_;
    std::unique_ptr<QWindow> frame_;  // the shell's, holding the window
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<KeyboardFocus::ControlKeyboard> keyboard_;  // Tab into and out of the control
    std::unique_ptr<PaintWhileInView> paintWhileInView_;        // the window's, so it goes first
    QPointer<Extender> control_;
    std::vector<WaitingEvent*> waitingEvents_;
    uint32_t lastEvent_ = 0;
    bool inputBlocked_ = false;  // a modal box of the shell's is shown
    bool ending_ = false;
};

}  // namespace kestrix
