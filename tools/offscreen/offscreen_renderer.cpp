#include "offscreen_renderer.h"

#include <cstdlib>

#include "core/engine_string.h"
#include "core/result.h"
#include "render/device_renderer.h"

namespace klx {

DeviceRenderer* OpenOffscreenRenderer(int32_t width, int32_t height, const char* title) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (LoadRenderer(String("OpenGL")) != kOk) return nullptr;
  auto* renderer = static_cast<DeviceRenderer*>(GetRenderer());
  int32_t windowed = -1;
  for (int32_t i = 0; i < renderer->GetConfigurationCount() && windowed < 0; ++i) {
    const DisplayConfiguration& c = renderer->GetConfiguration(i);
    if (!c.fullScreen && c.samples == 1) windowed = i;
  }
  if (windowed < 0 || renderer->OpenWindow(windowed, String(title), 0, 0, 0, width, height) != kOk) {
    ReleaseRenderer();
    return nullptr;
  }
  return renderer;
}

}  // namespace klx
