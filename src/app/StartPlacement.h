#pragma once

#include <optional>

namespace kestrix {

// Where the start window goes, in twips, for the settings "WithLineDisplay" and "Resolution":
// towards the upper left of the assumed screen area, or centred on it (unrounded).
struct StartPlacement {
    double left;
    double top;
};

struct StartWindowSize {
    double width;   // twips
    double height;  // twips
};

// The assumed screen area is Resolution × twips per pixel wide and 600, 768 or 1024 pixels high,
// held in 16 bits. Returns nothing when that area does not fit in 16 bits.
std::optional<StartPlacement> placeStartWindow(bool withLineDisplay, int resolution,
                                               float twipsPerPixelX, float twipsPerPixelY,
                                               StartWindowSize window);

}  // namespace kestrix
