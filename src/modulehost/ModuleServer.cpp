#include "ModuleServer.h"

#include <signal.h>
#include <unistd.h>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QWheelEvent>
#include <cstdio>
#include <cstdlib>

#include "channel/KeyboardFocus.h"
#include "channel/ModuleOrphans.h"
#include "host/Extender.h"
#include "platform/x11/X11InputFocus.h"

namespace kestrix {

ModuleServer::ModuleServer(int channelDescriptor) : channel_(channelDescriptor) {
    connect(&channel_, &ModuleChannel::received, this, &ModuleServer::received);
    // Without the shell there is nobody to show the module to, and nothing to wait for: the host
    // ends with its process group, what the module started among it.
    connect(&channel_, &ModuleChannel::closed, this, [] {
        std::fflush(nullptr);
        endWithItsGroup();
    });
    QMetaObject::invokeMethod(this, &ModuleServer::prepareWindow, Qt::QueuedConnection);
}

// While the process waits for its module, the window that will hold it is made on the display
// and the fonts and the style are loaded: work that every module needs, done before the shell
// asks, when the line's module processes start side by side.
void ModuleServer::prepareWindow() {
    if (window_ != nullptr) {
        return;
    }
    window_ = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    window_->winId();
    keyboard_ = std::make_unique<KeyboardFocus::ControlKeyboard>(*window_);
    window_->ensurePolished();
    QFontMetrics(window_->font()).horizontalAdvance(QStringLiteral("Module"));
}

ModuleServer::~ModuleServer() = default;

// Only a host that leads its group (as the shell starts it) ends the group: run by hand, the group
// would be the caller's.
void ModuleServer::endWithItsGroup() {
    if (getpgrp() == getpid()) {
        ModuleOrphans::endDescendantsOfThisProcess();
        ::kill(0, SIGKILL);
    }
    _exit(0);
}

// The shell is trusted: a message of the shell's that does not read as its kind is answered as a
// call of no member would be, or dropped when it has no answer.
void ModuleServer::received(const ModuleMessage& message) {
    using Kind = ModuleMessage::Kind;
    switch (message.kind) {
        case Kind::Create:
            answer(message, [&] { return create(read<Message::Create>(message)); });
            break;
        case Kind::Get:
            answer(message,
                   [&] { return QVariantList{control().get(read<Message::Get>(message).member)}; });
            break;
        case Kind::Let:
            answer(message, [&] {
                const auto let = read<Message::Let>(message);
                control().let(let.member, let.value, let.arguments);
                return QVariantList{};
            });
            break;
        case Kind::LetId:
            answer(message, [&] {
                const auto let = read<Message::LetId>(message);
                control().letId(let.dispId, let.value);
                return QVariantList{};
            });
            break;
        case Kind::CallId:
            answer(message, [&] {
                const auto call = read<Message::CallId>(message);
                return QVariantList{control().callId(call.dispId, call.arguments)};
            });
            break;
        case Kind::Place:
            if (const auto place = Message::Place::from(message)) {
                this->place(*place);
            }
            break;
        case Kind::EventDone:
            eventDone(message.number);
            break;
        case Kind::Ping:
            channel_.send(Message::Alive().frame(message.number));
            break;
        case Kind::TakeFocus:
            if (const auto focus = Message::TakeFocus::from(message)) {
                takeFocus(focus->forward);
            }
            break;
        case Kind::InputBlocked:
            if (const auto block = Message::InputBlocked::from(message)) {
                inputBlocked_ = block->blocked;
            }
            break;
        case Kind::Release:
            if (control_ != nullptr) {
                control_->releaseWaitingEvents();
            }
            break;
        case Kind::End:
            ending_ = true;
            QMetaObject::invokeMethod(this, &ModuleServer::end, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

template <class Typed>
Typed ModuleServer::read(const ModuleMessage& message) {
    std::optional<Typed> typed = Typed::from(message);
    if (!typed) {
        raiseFault(ErrorNumber::TypeMismatch);
    }
    return *std::move(typed);
}

template <class Work>
void ModuleServer::answer(const ModuleMessage& message, Work&& work) {
    Message::Answer answer;
    try {
        answer.values = work();
    } catch (...) {
        channel_.send(Message::Fault(currentFault()).frame(message.number));
        return;
    }
    channel_.send(answer.frame(message.number));
}

// The window is a child of the shell's frame from the start, so no window manager ever sees it.
QVariantList ModuleServer::create(const Message::Create& message) {
    const QString& library = message.library;
    const QString& progId = message.progId;
    const QString& name = message.name;
    const auto frame = static_cast<WId>(message.window);
    registry_ =
        std::make_unique<PluginControlFactory>(QStringList(), ScreenTwips::ofPrimaryScreen());
    registry_->registerLibrary(library);
    prepareWindow();
    window_->setWindowTitle(progId);
    Extender* control = registry_->Add(progId, name, window_.get());
    control_ = control;
    connect(control, &Extender::ObjectEvent, this, &ModuleServer::forwardEvent);
    qApp->installEventFilter(this);  // the control's resizes, clicks and keys among all events
    window_->resize(control->control()->size());
    if (frame != 0) {
        frame_.reset(QWindow::fromWinId(frame));
        window_->windowHandle()->setParent(frame_.get());
        paintWhileInView_ = std::make_unique<PaintWhileInView>(*window_);
    }
    const QSize size = control->control()->size();
    return {size.width(), size.height()};
}

// The window is as large as the control, and the shell's frame follows. A click on a field of
// the window gives it the keyboard; Tab past the control's last field gives the keyboard back to
// the shell, and so does a key that reached the window while the shell holds the keyboard. A turn
// of the wheel that reaches the window itself was taken by none of the control's fields: the shell
// scrolls its modules with it. While a modal box of the shell's is shown, the window refuses the
// pointer and the keyboard, as the shell's own windows do.
bool ModuleServer::eventFilter(QObject* watched, QEvent* event) {
    if (inputBlocked_ && isInputToWindow(watched, event)) {
        return true;
    }
    if (isKeyForShell(watched, event)) {
        X11InputFocus::passKey(*static_cast<QKeyEvent*>(event), frame_->winId());
        return true;
    }
    if (window_ != nullptr && watched == window_.get() && event->type() == QEvent::Wheel) {
        const QPoint turn = static_cast<QWheelEvent*>(event)->angleDelta();
        Message::Wheel wheel;
        wheel.x = turn.x();
        wheel.y = turn.y();
        channel_.send(wheel.frame());
        return true;
    }
    if (window_ != nullptr && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window_.get()) {
        if (event->type() == QEvent::MouseButtonPress &&
            KeyboardFocus::clickGivesFocus(*static_cast<QWidget*>(watched))) {
            X11InputFocus::give(window_->winId());
        }
        bool forward = false;
        if (event->type() == QEvent::KeyPress && control_ != nullptr &&
            control_->control() != nullptr) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (KeyboardFocus::leavesControl(*control_->control(), key->key(), key->modifiers(),
                                             forward)) {
                keyboard_->leave(forward);
                sendFocusLeft(forward);
                return true;
            }
        }
    }
    if (event->type() == QEvent::Resize && control_ != nullptr && watched == control_->control()) {
        const QSize size = control_->control()->size();
        window_->setGeometry(QRect(QPoint(0, 0), size));
        Message::Resized resized;
        resized.width = size.width();
        resized.height = size.height();
        channel_.send(resized.frame());
    }
    return QObject::eventFilter(watched, event);
}

bool ModuleServer::isInputToWindow(QObject* watched, const QEvent* event) const {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            return window_ != nullptr && watched->isWidgetType() &&
                   static_cast<QWidget*>(watched)->window() == window_.get();
        default:
            return false;
    }
}

// X gives a key to the window under the pointer when that lies within the window that holds the
// keyboard: a key that reaches this window while another holds the keyboard was typed into the
// shell's window over the module's.
bool ModuleServer::isKeyForShell(QObject* watched, const QEvent* event) const {
    return (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
           window_ != nullptr && frame_ != nullptr && watched->isWidgetType() &&
           static_cast<QWidget*>(watched)->window() == window_.get() &&
           X11InputFocus::isElsewhere(window_->winId());
}

// A control without a field for the keyboard is passed over in the same direction.
void ModuleServer::takeFocus(bool forward) {
    const bool entered = window_ != nullptr && control_ != nullptr &&
                         control_->control() != nullptr &&
                         keyboard_->enter(*control_->control(), forward);
    if (entered) {
        X11InputFocus::give(window_->winId());
    } else {
        sendFocusLeft(forward);
    }
}

void ModuleServer::sendFocusLeft(bool forward) {
    Message::FocusLeft left;
    left.forward = forward;
    channel_.send(left.frame());
}

Extender& ModuleServer::control() {
    if (control_ == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return *control_;
}

void ModuleServer::place(const Message::Place& place) {
    if (control_ == nullptr || control_->control() == nullptr || window_ == nullptr) {
        return;
    }
    const QSize size(place.width, place.height);
    const bool visible = place.visible;
    control_->control()->setGeometry(QRect(QPoint(0, 0), size));
    window_->setGeometry(QRect(QPoint(0, 0), control_->control()->size()));
    control_->control()->setVisible(visible);
    if (visible && window_->isHidden()) {
        window_->show();
    }
}

void ModuleServer::forwardEvent(const EventInfo& info) {
    if (!channel_.isOpen()) {
        return;
    }
    QEventLoop loop;
    WaitingEvent waiting{++lastEvent_, &loop};
    waitingEvents_.push_back(&waiting);
    Message::Event event;
    event.name = info.Name;
    event.parameters = info.Parameters;
    event.fromOwnThread = info.fromOwnThread;
    channel_.send(event.frame(waiting.number));
    if (!waiting.done) {
        loop.exec();
    }
    std::erase(waitingEvents_, &waiting);
    if (ending_ && waitingEvents_.empty()) {
        QMetaObject::invokeMethod(this, &ModuleServer::end, Qt::QueuedConnection);
    }
}

void ModuleServer::eventDone(uint32_t number) {
    for (WaitingEvent* waiting : waitingEvents_) {
        if (waiting->number == number) {
            waiting->done = true;
            waiting->loop->quit();
        }
    }
}

// The control goes with its window, as in the shell's own process; what the module started ends
// with the host, which then exits at once: nothing of the program's own teardown (its windows'
// connection to the display, a sanitizer's leak report) can hold it up or change its status.
void ModuleServer::end() {
    if (!waitingEvents_.empty()) {
        return;  // the control's emit is on the stack: the last one to return ends it
    }
    qApp->removeEventFilter(this);
    keyboard_.reset();
    paintWhileInView_.reset();
    window_.reset();
    frame_.reset();
    std::fflush(nullptr);
    ModuleOrphans::endDescendantsOfThisProcess();
    _exit(0);
}

void ModuleServer::reportOwnFault(const Fault& fault) {
    channel_.send(Message::OwnFault(fault).frame());
}

}  // namespace kestrix
