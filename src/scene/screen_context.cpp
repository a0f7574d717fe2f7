#include "scene/screen_context.h"

#include "scene/draw_context.h"

namespace klx {
namespace {

DrawContext* g_screenContext = nullptr;

}  // namespace

DrawContext* GetScreenContext() { return g_screenContext; }
void SetScreenContext(DrawContext* context) { g_screenContext = context; }

Camera* GetScreenCamera() { return g_screenContext != nullptr ? g_screenContext->GetCamera() : nullptr; }

void SetScreenCamera(Camera* camera) {
  if (g_screenContext != nullptr) g_screenContext->SetCamera(camera);
}

}  // namespace klx
