#pragma once

#include "platform/Dialogs.h"

namespace kestrix {

// Message boxes as QMessageBox, modal to the whole application and transient for the window that
// asks.
class QtDialogs final : public Dialogs {
public:
    int MsgBox(const QString& prompt, int style, const QString& title = ApplicationTitle) override;
};

}  // namespace kestrix
