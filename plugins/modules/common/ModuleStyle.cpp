#include "ModuleStyle.h"

namespace kestrix::ModuleStyle {

QString panelSheet() {
    return QStringLiteral("QFrame#panel { background: %1; border: 1px solid %2; }")
        .arg(Panel.name(), PanelBorder.name());
}

QString headerSheet() {
    return QStringLiteral(
               "background: %1; color: %2; font-weight: bold; font-size: 10pt;"
               " padding: 1px 6px;")
        .arg(HeaderStrip.name(), HeaderText.name());
}

QString captionSheet() {
    return QStringLiteral("color: %1; font-size: 8pt; background: transparent;")
        .arg(Caption.name());
}

QString readingSheet(const QColor& text) {
    return QStringLiteral(
               "background: %1; color: %2; font-family: monospace; font-size: 14pt;"
               " font-weight: bold; border: 1px solid %3; padding: 0px 6px;")
        .arg(ReadingBackground.name(), text.name(), PanelBorder.name());
}

QString buttonSheet() {
    return QStringLiteral(
        "QPushButton { background: #d4d6d8; color: #15181b; border: 1px solid #15181b;"
        " font-size: 9pt; font-weight: bold; padding: 2px 10px; min-height: 20px; }"
        "QPushButton:pressed { background: #a9adb2; }"
        "QPushButton:disabled { background: #6b7077; color: #3a3f45; }");
}

}  // namespace kestrix::ModuleStyle
