#include "app/LoadedForms.h"

#include <utility>

namespace kestrix {

LoadedForms::LoadedForms() {
    procedures_.onNoneRunning([this] { destroyUnloadedWhenIdle(); });
}

LoadedForms::~LoadedForms() {
    for (const Loaded& loaded : std::as_const(forms_)) {
        unloaded_.append(loaded.owner);
    }
    for (const QPointer<QObject>& owner : std::as_const(unloaded_)) {
        delete owner.data();
    }
}

void LoadedForms::load(QWidget* form, QObject* owner) {
    if (!forms().contains(form)) {
        forms_.append(Loaded{form, owner != nullptr ? owner : form});
    }
}

void LoadedForms::unload(QWidget* form) {
    for (qsizetype i = forms_.size() - 1; i >= 0; --i) {
        if (forms_[i].form == form || !forms_[i].form) {
            unloaded_.append(forms_[i].owner);
            forms_.removeAt(i);
        }
    }
    if (form != nullptr) {
        form->hide();
    }
    destroyUnloadedWhenIdle();
}

void LoadedForms::destroyUnloadedWhenIdle() {
    if (!procedures_.noneRunning() || unloaded_.isEmpty()) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!procedures_.noneRunning()) {
                return;  // the last procedure to return calls again
            }
            const QList<QPointer<QObject>> owners = std::exchange(unloaded_, {});
            for (const QPointer<QObject>& owner : owners) {
                delete owner.data();
            }
        },
        Qt::QueuedConnection);
}

bool LoadedForms::becameActive(QWidget* form) {
    if (activeForm_ == form) {
        return false;
    }
    activeForm_ = form;
    return true;
}

QList<QWidget*> LoadedForms::forms() const {
    QList<QWidget*> alive;
    for (const Loaded& loaded : forms_) {
        if (loaded.form) {
            alive.append(loaded.form.data());
        }
    }
    return alive;
}

}  // namespace kestrix
