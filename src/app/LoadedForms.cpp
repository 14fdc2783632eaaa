#include "app/LoadedForms.h"

namespace kestrix {

void LoadedForms::load(QWidget* form) {
    if (!forms().contains(form)) {
        forms_.append(form);
    }
}

void LoadedForms::unload(QWidget* form) {
    forms_.removeIf([form](const QPointer<QWidget>& loaded) { return loaded == form || !loaded; });
    if (form != nullptr) {
        form->hide();
        form->deleteLater();
    }
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
    for (const QPointer<QWidget>& form : forms_) {
        if (form) {
            alive.append(form.data());
        }
    }
    return alive;
}

}  // namespace kestrix
