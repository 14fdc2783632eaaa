#pragma once

#include <QHash>
#include <QIcon>
#include <QMessageBox>

#include "platform/Dialogs.h"

namespace kestrix {

// Message boxes as QMessageBox, modal to the whole application and transient for the window that
// asks.
class QtDialogs final : public Dialogs {
public:
    int MsgBox(const QString& prompt, int style, const QString& title = ApplicationTitle) override;

private:
    // Adds a standard button, showing the icon the same button had the first time.
    QPushButton* addButton(QMessageBox& box, QMessageBox::StandardButton which);

    QHash<QMessageBox::StandardButton, QIcon> buttonIcons_;
};

}  // namespace kestrix
