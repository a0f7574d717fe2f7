#pragma once
// Opens the "OpenGL" renderer without a display for tools, tests and
// benchmarks: SDL's offscreen video driver (unless SDL_VIDEODRIVER names
// another), a windowed configuration without multisampling, and a window of
// the given size.

#include <cstdint>

namespace klx {

class DeviceRenderer;

// The renderer, current and with its window open; null when the renderer
// module or the window cannot be had (the renderer is released again then).
// The engine must be started.
DeviceRenderer* OpenOffscreenRenderer(int32_t width, int32_t height, const char* title);

}  // namespace klx
