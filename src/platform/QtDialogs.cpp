#include "platform/QtDialogs.h"

#include <QMessageBox>

namespace kestrix {

namespace {

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
        case MsgBoxStyle::Critical:
            return QMessageBox::Critical;
        case MsgBoxStyle::Question:
            return QMessageBox::Question;
        case MsgBoxStyle::Exclamation:
            return QMessageBox::Warning;
        case MsgBoxStyle::Information:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtDialogs::MsgBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(iconOf(style), title, prompt);
    bool yesNo = (style & 0x0F) == MsgBoxStyle::YesNo;
    if (yesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton((style & MsgBoxStyle::DefaultButton2) ? no : yes);
    } else {
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
    }
    int pressed = box.exec();
    if (yesNo) {
        return pressed == QMessageBox::Yes ? MsgBoxResult::Yes : MsgBoxResult::No;
    }
    return MsgBoxResult::Ok;
}

}  // namespace kestrix
