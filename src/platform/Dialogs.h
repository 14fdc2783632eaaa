#pragma once

#include <QString>

namespace kestrix {

// Message box styles and answers with the classic values (a style is buttons + icon + default).
namespace MsgBoxStyle {
inline constexpr int OkOnly = 0;
inline constexpr int YesNo = 4;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
inline constexpr int DefaultButton2 = 256;
}  // namespace MsgBoxStyle

namespace MsgBoxResult {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
}  // namespace MsgBoxResult

// The application title that captions every message box without a caption of its own.
inline const QString ApplicationTitle = QStringLiteral("Kestrix");

// Modal message boxes: show the prompt with the style's buttons and icon, wait until the operator
// closes the box, and return the button pressed. Events keep running while a box is open.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual int MsgBox(const QString& prompt, int style,
                       const QString& title = ApplicationTitle) = 0;
};

}  // namespace kestrix
