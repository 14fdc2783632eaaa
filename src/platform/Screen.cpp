#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace kestrix {

ScreenTwips ScreenTwips::ofPrimaryScreen() {
    ScreenTwips twips;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && screen->logicalDotsPerInchX() > 0 &&
        screen->logicalDotsPerInchY() > 0) {
        twips.x = static_cast<float>(1440.0 / screen->logicalDotsPerInchX());
        twips.y = static_cast<float>(1440.0 / screen->logicalDotsPerInchY());
    }
    return twips;
}

int ScreenTwips::toPixelsX(double twips) const {
    return static_cast<int>(std::lround(twips / x));
}
int ScreenTwips::toPixelsY(double twips) const {
    return static_cast<int>(std::lround(twips / y));
}

}  // namespace kestrix
