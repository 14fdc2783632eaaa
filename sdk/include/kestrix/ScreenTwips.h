// The Kestrix plug-in SDK: twips (1/1440 inch), the unit of the shell's window geometry and of a
// control's AbsoluteHoehe, and their conversion to screen pixels exactly as the shell makes it.
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace kestrix {

// The screen's twips per pixel (1440 / logical DPI; 15 at 96 DPI), single precision as the window
// toolkit reports it.
struct ScreenTwips {
    float x = 15.0f;
    float y = 15.0f;

    // The primary screen's factors; 15 × 15 when there is no screen.
    static ScreenTwips ofPrimaryScreen() {
        ScreenTwips twips;
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen != nullptr && screen->logicalDotsPerInchX() > 0 &&
            screen->logicalDotsPerInchY() > 0) {
            twips.x = static_cast<float>(1440.0 / screen->logicalDotsPerInchX());
            twips.y = static_cast<float>(1440.0 / screen->logicalDotsPerInchY());
        }
        return twips;
    }

    // Whole pixels, rounded to the nearest.
    int toPixelsX(double twips) const { return static_cast<int>(std::lround(twips / x)); }
    int toPixelsY(double twips) const { return static_cast<int>(std::lround(twips / y)); }
};

}  // namespace kestrix
