#include "render/display_configurations.h"

#include <algorithm>
#include <vector>

#include "platform/displays.h"

namespace klx {

void ProbeDisplayConfigurations(Array<DisplayConfiguration>& configurations, int32_t& defaultConfiguration) {
  // The first display's 32-bit modes, each size once, by width then height.
  std::vector<DisplayMode> modes;
  for (const DisplayMode& mode : ListDisplayModes(0)) {
    if (mode.colorBits != 32 || mode.width <= 0 || mode.height <= 0) continue;
    const bool known = std::any_of(modes.begin(), modes.end(), [&](const DisplayMode& m) {
      return m.width == mode.width && m.height == mode.height;
    });
    if (!known) modes.push_back(mode);
  }
  std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return a.width != b.width ? a.width < b.width : a.height < b.height;
  });
  DisplayMode desktop;
  const bool hasDesktop = GetDesktopDisplayMode(0, &desktop);
  struct Depth {
    int32_t depth, stencil;
  };
  // Back-buffer formats A8R8G8B8 and X8R8G8B8: the record tells them apart
  // by its alpha bits (8 and 0), which is what device creation reads.
  const int32_t alphas[] = {8, 0};
  const Depth depths[] = {{24, 8}, {24, 0}, {16, 0}};
  const int32_t samples[] = {1, 2, 4};
  for (int32_t alpha : alphas) {
    for (const Depth& depth : depths) {
      for (int32_t sampleCount : samples) {
        DisplayConfiguration c;
        c.colorBits = 32;
        c.alphaBits = alpha;
        c.depthBits = depth.depth;
        c.stencilBits = depth.stencil;
        c.samples = sampleCount;
        c.fullScreen = true;
        for (const DisplayMode& mode : modes) {
          c.width = mode.width;
          c.height = mode.height;
          if (defaultConfiguration < 0 && hasDesktop && mode.width == desktop.width && mode.height == desktop.height) {
            defaultConfiguration = configurations.Count();
          }
          configurations.Append(c);
        }
        DisplayConfiguration windowed = c;
        windowed.fullScreen = false;
        windowed.width = windowed.height = 0;
        configurations.Append(windowed);
      }
    }
  }
}

}  // namespace klx
