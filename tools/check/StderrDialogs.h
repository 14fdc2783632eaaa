#pragma once

#include <iostream>

#include "platform/Dialogs.h"

namespace kestrix::check {

// The tool never asks for a message box; should one come up, its text goes to standard error.
class StderrDialogs final : public Dialogs {
public:
    int MsgBox(const QString& prompt, int /*style*/, const QString& title) override {
        std::cerr << title.toLocal8Bit().constData() << ": " << prompt.toLocal8Bit().constData()
                  << '\n';
        return MsgBoxResult::Ok;
    }
};

}  // namespace kestrix::check
