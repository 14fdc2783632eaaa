#include "isolation/ModalInputBlock.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace kestrix {

ModalInputBlock::ModalInputBlock(std::function<void(bool blocked)> changed)
    : changed_(std::move(changed)), blocking_(modalWindowShown()) {
    if (qApp != nullptr) {
        qApp->installEventFilter(this);
    }
}

ModalInputBlock::~ModalInputBlock() = default;

bool ModalInputBlock::eventFilter(QObject* watched, QEvent* event) {
    const bool shownOrHidden = event->type() == QEvent::Show || event->type() == QEvent::Hide;
    if (shownOrHidden && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        const bool blocking = modalWindowShown();
        if (blocking != blocking_) {
            blocking_ = blocking;
            changed_(blocking);
        }
    }
    return QObject::eventFilter(watched, event);
}

// A window counts as shown from its Show event on, and no longer from its Hide event on.
bool ModalInputBlock::modalWindowShown() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isModal()) {
            return true;
        }
    }
    return false;
}

}  // namespace kestrix
