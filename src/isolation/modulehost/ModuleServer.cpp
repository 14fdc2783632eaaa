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

#include "host/Extender.h"
#include "isolation/KeyboardFocus.h"

namespace kestrix {

ModuleServer::ModuleServer(int channelDescriptor) : channel_(channelDescriptor) {
    connect(&channel_, &ModuleChannel::Received, this, &ModuleServer::received);
    // Without the shell there is nobody to show the module to, and nothing to wait for: the host
    // ends with its process group, what the module started among it.
    connect(&channel_, &ModuleChannel::Closed, this, [] {
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
    window_->ensurePolished();
    QFontMetrics(window_->font()).horizontalAdvance(QStringLiteral("Module"));
}

ModuleServer::~ModuleServer() = default;

// Only a host that leads its group (as the shell starts it) ends the group: run by hand, the group
// would be the caller's.
void ModuleServer::endWithItsGroup() {
    if (getpgrp() == getpid()) {
        ::kill(0, SIGKILL);
    }
    _exit(0);
}

void ModuleServer::received(const ModuleMessage& message) {
    using Kind = ModuleMessage::Kind;
    switch (message.kind) {
        case Kind::Create:
            answer(message, [&] { return create(message.values); });
            break;
        case Kind::Get:
            answer(message,
                   [&] { return QVariantList{control().get(message.values.value(0).toString())}; });
            break;
        case Kind::Let:
            answer(message, [&] {
                control().let(message.values.value(0).toString(), message.values.value(1),
                              message.values.value(2).toList());
                return QVariantList{};
            });
            break;
        case Kind::LetId:
            answer(message, [&] {
                control().letId(message.values.value(0).toInt(), message.values.value(1));
                return QVariantList{};
            });
            break;
        case Kind::CallId:
            answer(message, [&] {
                return QVariantList{control().callId(message.values.value(0).toInt(),
                                                     message.values.value(1).toList())};
            });
            break;
        case Kind::Place:
            place(message.values);
            break;
        case Kind::EventDone:
            eventDone(message.number);
            break;
        case Kind::Ping:
            channel_.send({Kind::Alive, message.number, {}});
            break;
        case Kind::TakeFocus:
            takeFocus(message.values.value(0).toBool());
            break;
        case Kind::Release:
            if (control_ != nullptr) {
                control_->releaseWaitingEvents();
            }
            break;
        default:
            break;
    }
}

template <class Work>
void ModuleServer::answer(const ModuleMessage& message, Work&& work) {
    QVariantList values;
    try {
        values = work();
    } catch (...) {
        const Fault fault = currentFault();
        channel_.send({ModuleMessage::Kind::Fault, message.number, faultValues(fault)});
        return;
    }
    channel_.send({ModuleMessage::Kind::Answer, message.number, values});
}

// The window is a child of the shell's frame from the start, so no window manager ever sees it.
QVariantList ModuleServer::create(const QVariantList& values) {
    const QString library = values.value(0).toString();
    const QString progId = values.value(1).toString();
    const QString name = values.value(2).toString();
    const auto frame = static_cast<WId>(values.value(3).toULongLong());
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
    }
    const QSize size = control->control()->size();
    return {size.width(), size.height()};
}

// The window is as large as the control, and the shell's frame follows. A click into the window
// gives it the keyboard; Tab past the control's last field gives the keyboard back to the shell.
// A turn of the wheel that reaches the window itself was taken by none of the control's fields:
// the shell scrolls its modules with it.
bool ModuleServer::eventFilter(QObject* watched, QEvent* event) {
    if (window_ != nullptr && watched == window_.get() && event->type() == QEvent::Wheel) {
        const QPoint turn = static_cast<QWheelEvent*>(event)->angleDelta();
        channel_.send({ModuleMessage::Kind::Wheel, 0, {turn.x(), turn.y()}});
        return true;
    }
    if (window_ != nullptr && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window_.get()) {
        if (event->type() == QEvent::MouseButtonPress) {
            KeyboardFocus::takeFocus(*window_);
        }
        bool forward = false;
        if (event->type() == QEvent::KeyPress && control_ != nullptr &&
            control_->control() != nullptr) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (KeyboardFocus::leavesControl(*control_->control(), key->key(), key->modifiers(),
                                             forward)) {
                channel_.send({ModuleMessage::Kind::FocusLeft, 0, {forward}});
                return true;
            }
        }
    }
    if (event->type() == QEvent::Resize && control_ != nullptr && watched == control_->control()) {
        const QSize size = control_->control()->size();
        window_->setGeometry(QRect(QPoint(0, 0), size));
        channel_.send({ModuleMessage::Kind::Resized, 0, {size.width(), size.height()}});
    }
    return QObject::eventFilter(watched, event);
}

// A control without a field for the keyboard is passed over in the same direction.
void ModuleServer::takeFocus(bool forward) {
    const bool entered = window_ != nullptr && control_ != nullptr &&
                         control_->control() != nullptr &&
                         KeyboardFocus::enterControl(*window_, *control_->control(), forward);
    if (!entered) {
        channel_.send({ModuleMessage::Kind::FocusLeft, 0, {forward}});
    }
}

Extender& ModuleServer::control() {
    if (control_ == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return *control_;
}

void ModuleServer::place(const QVariantList& values) {
    if (control_ == nullptr || control_->control() == nullptr || window_ == nullptr) {
        return;
    }
    const QSize size(values.value(0).toInt(), values.value(1).toInt());
    const bool visible = values.value(2).toBool();
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
    channel_.send({ModuleMessage::Kind::Event, waiting.number, {info.Name, info.Parameters}});
    if (!waiting.done) {
        loop.exec();
    }
    std::erase(waitingEvents_, &waiting);
}

void ModuleServer::eventDone(uint32_t number) {
    for (WaitingEvent* waiting : waitingEvents_) {
        if (waiting->number == number) {
            waiting->done = true;
            waiting->loop->quit();
        }
    }
}

void ModuleServer::reportOwnFault(const Fault& fault) {
    channel_.send({ModuleMessage::Kind::OwnFault, 0, faultValues(fault)});
}

}  // namespace kestrix
