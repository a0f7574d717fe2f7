// SDL loads the GL and EGL libraries (and through them Mesa's driver) when a
// window asks for GL, and unloads them when the video system stops. The
// leak checker then meets the drivers' allocations with no module to name
// them by, so its suppressions for third-party libraries cannot apply. The
// test programs load those libraries once, for good, before any test runs.

#include <dlfcn.h>

namespace {

bool KeepGraphicsLibrariesLoaded() {
  const char* const libraries[] = {
      "libGL.so.1",        "libGLX.so.0",      "libGLX_mesa.so.0", "libEGL.so.1",
      "libEGL_mesa.so.0",  "libGLdispatch.so.0", "libglapi.so.0",  "libgbm.so.1",
      "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
      "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so",
  };
  for (const char* library : libraries) {
    // A library that is missing here is simply not needed.
    dlopen(library, RTLD_LAZY | RTLD_GLOBAL | RTLD_NODELETE);
  }
  return true;
}

[[maybe_unused]] const bool kGraphicsLibrariesKept = KeepGraphicsLibrariesLoaded();

}  // namespace
