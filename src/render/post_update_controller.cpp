#include "render/post_update_controller.h"

#include "render/renderer.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(PostUpdateController, Controller)

void PostUpdateController::Update(double) {
  if (!IsActive()) return;
  if (Renderer* renderer = GetRenderer()) renderer->AddFrameListener(this);
}

}  // namespace klx
