#include "app/StartPlacement.h"

#include "fault/Fault.h"
#include "fault/Int16.h"

namespace kestrix {

namespace {

int assumedScreenHeightPixels(int resolution) {
    switch (resolution) {
        case 800:
            return 600;
        case 1024:
            return 768;
        default:
            return 1024;
    }
}

}  // namespace

std::optional<StartPlacement> placeStartWindow(bool withLineDisplay, int resolution,
                                               float twipsPerPixelX, float twipsPerPixelY,
                                               StartWindowSize window) {
    try {
        const int16_t w = toInt16(static_cast<double>(resolution) * twipsPerPixelX);
        const int16_t h =
            toInt16(static_cast<double>(assumedScreenHeightPixels(resolution)) * twipsPerPixelY);
        if (!withLineDisplay) {
            return StartPlacement{(w - window.width) / 2, (h - window.height) / 2};
        }
        double left = toInt32(w / 2.0 - (window.width / 7) * 6);
        double top = toInt32(h / 2.0 - (window.height / 7) * 6);
        if (left < 0) {
            left = 0;
        }
        if (top < 0) {
            top = 0;
        }
        if (left + window.width > w) {
            left = toInt32(w - window.width);
        }
        if (top + window.height > h) {
            top = toInt32(h - window.height);
        }
        return StartPlacement{left, top};
    } catch (const Fault&) {
        return std::nullopt;
    }
}

}  // namespace kestrix
