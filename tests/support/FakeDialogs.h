#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "platform/Dialogs.h"

namespace kestrix {

// Message boxes for tests: records every box and answers from a script (OK, or the first of the
// style's buttons, when the script is empty). A callback may run while the "box is open".
class FakeDialogs final : public Dialogs {
public:
    struct Box {
        QString prompt;
        int style;
        QString title;
    };

    int MsgBox(const QString& prompt, int style, const QString& title = ApplicationTitle) override {
        const Box box{prompt, style, title};
        boxes.append(box);
        if (whileOpen) {
            // A box of its own: boxes opened meanwhile may move the list.
            whileOpen(box);
        }
        if (!answers.isEmpty()) {
            return answers.takeFirst();
        }
        return (style & 0x0F) == MsgBoxStyle::YesNo ? MsgBoxResult::Yes : MsgBoxResult::Ok;
    }

    QList<Box> boxes;
    QList<int> answers;
    std::function<void(const Box&)> whileOpen;
};

}  // namespace kestrix
