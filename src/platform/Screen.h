#pragma once

namespace kestrix {

// The screen's twips per pixel (1440 / logical DPI; 15 at 96 DPI), single precision as the window
// toolkit reports it.
struct ScreenTwips {
    float x = 15.0f;
    float y = 15.0f;

    // The primary screen's factors; 15 × 15 when there is no screen.
    static ScreenTwips ofPrimaryScreen();

    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
};

}  // namespace kestrix
