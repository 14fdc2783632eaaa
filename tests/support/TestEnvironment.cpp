// Every test program finds the build it belongs to through KESTRIX_BUILD_DIR and draws its
// windows offscreen, unless the environment says otherwise (a test with an X server sets its own).
// Files and folders it makes are writable by their owner only, whatever the caller's umask: the
// shell refuses plug-ins from places that others may write to.

#include <sys/stat.h>
#include <cstdlib>

#include "TestBuildDir.h"

namespace {

const bool environmentSet = [] {
    setenv("KESTRIX_BUILD_DIR", KESTRIX_BUILD_DIR_DEFAULT, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    umask(022);
    return true;
}();

}  // namespace
