// The message boxes as the operator sees them: a style's icon, buttons and default button, and the
// answer the pressed button gives.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QProxyStyle>
#include <QTimer>
#include <algorithm>
#include <string>

#include "TestApplication.h"
#include "platform/QtDialogs.h"

namespace kestrix {
namespace {

struct BoxCase {
    const char* name;
    int style;
    QMessageBox::Icon icon;
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton;
    QMessageBox::StandardButton pressed;
    int answer;
};

void PrintTo(const BoxCase& c, std::ostream* out) {
    *out << c.name;
}

class MessageBoxTest : public ::testing::TestWithParam<BoxCase> {
protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(MessageBoxTest, ShowsTheStylesIconButtonsAndDefaultAndAnswersThePressedButton) {
    const BoxCase& c = GetParam();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer operatorAtTheBox;
    QObject::connect(&operatorAtTheBox, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;  // not shown yet
        }
        icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            buttons << box->standardButton(button);
        }
        std::sort(buttons.begin(),
                  buttons.end());  // in the order of their values, not of the layout
        defaultButton = box->standardButton(box->defaultButton());
        if (QAbstractButton* button = box->button(c.pressed)) {
            button->click();
        } else {
            box->reject();  // the box lacks the button: the answers below tell
        }
    });
    operatorAtTheBox.start(10);

    QtDialogs dialogs;
    EXPECT_EQ(dialogs.MsgBox(QStringLiteral("Are you sure to close the Kestrix ?"), c.style),
              c.answer);
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(buttons, c.buttons);
    EXPECT_EQ(defaultButton, c.defaultButton);
}

using B = QMessageBox;
INSTANTIATE_TEST_SUITE_P(
    Styles, MessageBoxTest,
    ::testing::Values(
        // "End": Yes and No with Yes as the default, and the stop icon.
        BoxCase{"EndAnsweredNo",
                MsgBoxStyle::YesNo | MsgBoxStyle::Critical,
                B::Critical,
                {B::Yes, B::No},
                B::Yes,
                B::No,
                MsgBoxResult::No},
        BoxCase{"EndAnsweredYes",
                MsgBoxStyle::YesNo | MsgBoxStyle::Critical,
                B::Critical,
                {B::Yes, B::No},
                B::Yes,
                B::Yes,
                MsgBoxResult::Yes},
        BoxCase{"SecondButtonAsDefault",
                MsgBoxStyle::YesNo | MsgBoxStyle::Question | MsgBoxStyle::DefaultButton2,
                B::Question,
                {B::Yes, B::No},
                B::No,
                B::Yes,
                MsgBoxResult::Yes},
        // "Initialisierung fehlgeschlagen!", and a module's event.
        BoxCase{"FailedStart",
                MsgBoxStyle::OkOnly | MsgBoxStyle::Critical,
                B::Critical,
                {B::Ok},
                B::Ok,
                B::Ok,
                MsgBoxResult::Ok},
        BoxCase{"ModuleEvent",
                MsgBoxStyle::OkOnly,
                B::NoIcon,
                {B::Ok},
                B::Ok,
                B::Ok,
                MsgBoxResult::Ok}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

// Where the style gives the buttons icons, box after box shows the same icon for the same button,
// so that the pixmaps drawn from it are cached once and not again for every box.
TEST(MessageBoxButtonIcons, EveryBoxShowsTheFirstBoxsIconForTheSameButton) {
    struct ButtonsWithIcons : QProxyStyle {
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                      QStyleHintReturn* returned) const override {
            return hint == SH_DialogButtonBox_ButtonsHaveIcons
                       ? 1
                       : QProxyStyle::styleHint(hint, option, widget, returned);
        }
    };
    ensureApplication();
    const QString styleBefore = QApplication::style()->name();
    QApplication::setStyle(new ButtonsWithIcons);
    QList<qint64> iconKeys;
    QTimer operatorAtTheBox;
    QObject::connect(&operatorAtTheBox, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            for (QMessageBox::StandardButton which : {B::Ok, B::Yes, B::No}) {
                if (QAbstractButton* button = box->button(which)) {
                    iconKeys << (button->icon().isNull() ? 0 : button->icon().cacheKey());
                }
            }
            box->done(QMessageBox::Ok);
        }
    });
    operatorAtTheBox.start(10);

    QtDialogs dialogs;
    for (int box = 0; box < 2; ++box) {
        dialogs.MsgBox(QStringLiteral("1 Alarm"), MsgBoxStyle::OkOnly);
        dialogs.MsgBox(QStringLiteral("Are you sure?"), MsgBoxStyle::YesNo);
    }
    QApplication::setStyle(styleBefore);

    ASSERT_EQ(iconKeys.size(), 6);  // Ok; Yes, No; Ok; Yes, No
    EXPECT_NE(iconKeys[0], 0);
    EXPECT_NE(iconKeys[1], iconKeys[0]);
    EXPECT_NE(iconKeys[2], iconKeys[1]);
    EXPECT_EQ(iconKeys.mid(3), iconKeys.mid(0, 3));
}

}  // namespace
}  // namespace kestrix
