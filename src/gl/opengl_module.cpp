// The "OpenGL" renderer module: a DeviceRenderer that draws through the
// OpenGL device.

#include <SDL.h>

#include "core/builtin_module.h"
#include "core/result.h"
#include "gl/gl_device.h"
#include "platform/displays.h"
#include "platform/system_window.h"
#include "render/device_renderer.h"

namespace klx {
namespace {

std::unique_ptr<d3d::Device> MakeGlDevice(SystemWindow* window, const d3d::DeviceSettings& settings,
                                          std::string* error) {
  return d3d::CreateGlDevice(GetSdlWindow(window), settings, error);
}

int CreateOpenGLRenderer(Renderer** out) {
  if (out == nullptr || GetRenderer() != nullptr) return kFailed;
  // The renderer holds the video system from here on: starting it, stopping
  // it and starting it again would drop the display connection in between,
  // and an X server with no other client resets itself then, refusing the
  // next connection for a moment.
  auto* renderer = new DeviceRenderer(&MakeGlDevice);
  // The GL library must be there before the renderer is offered.
  if (!IsVideoStarted() || SDL_GL_LoadLibrary(nullptr) != 0) {
    delete renderer;
    return kFailed;
  }
  SDL_GL_UnloadLibrary();
  *out = renderer;  // the caller takes the first reference
  return kOk;
}

}  // namespace
}  // namespace klx

KLX_BUILTIN_MODULE(OpenGLRenderer, "OpenGL",
                   ::klx::BuiltinSymbol{"CreateRenderer", reinterpret_cast<::klx::ModuleSymbol>(
                                                              static_cast<::klx::CreateRendererEntry>(
                                                                  &::klx::CreateOpenGLRenderer))})
