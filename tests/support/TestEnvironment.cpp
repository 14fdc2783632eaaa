// Every test program finds the build it belongs to through KESTRIX_BUILD_DIR and draws its
// windows offscreen, unless the environment says otherwise (a test with an X server sets its own).

#include <cstdlib>

namespace {

const bool environmentSet = [] {
    setenv("KESTRIX_BUILD_DIR", KESTRIX_BUILD_DIR_DEFAULT, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

}  // namespace
