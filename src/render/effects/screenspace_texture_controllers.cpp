#include "render/effects/screenspace_texture_controllers.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/renderer.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/clip_projection.h"
#include "scene/node.h"

namespace klx {

KLX_IMPLEMENT_CLASS(RenderScreenspaceReflectTextureController, PostUpdateController)
KLX_IMPLEMENT_CLASS(RenderScreenspaceRefractTextureController, PostUpdateController)

void ScreenspaceTextureController::AddNode(Node* node) {
  if (node != nullptr) (void)nodes_.Append(Ref<Node>(node));
}

Node* ScreenspaceTextureController::GetNode(int32_t index) const {
  return index >= 0 && index < nodes_.Count() ? nodes_[index].Get() : nullptr;
}

void ScreenspaceTextureController::SetWaterHeight(float height) {
  height_ = height;
  seen_ = true;
}

void ScreenspaceTextureController::VisitLinks(const LinkVisitor& visit) const {
  PostUpdateController::VisitLinks(visit);
  for (int32_t i = 0; i < nodes_.Count(); ++i) visit(nodes_[i].Get());
}

int ScreenspaceTextureController::Save(MemoryStream& stream) {
  if (PostUpdateController::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObjectArray(nodes_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить узлы. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int ScreenspaceTextureController::Load(MemoryStream& stream) {
  if (PostUpdateController::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  seen_ = false;
  if (stream.ReadLinkList(nodes_, *this) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить узлы. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

void ScreenspaceTextureController::PostUpdate() {
  if (!seen_) return;
  seen_ = false;
  DrawMap();
}

void ScreenspaceTextureController::DrawMap() {
  Renderer* renderer = GetRenderer();
  auto* target = DynamicCast<Texture>(GetOwner());
  Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
  if (camera == nullptr || target == nullptr) return;

  // A letterboxed frame is drawn in the middle three quarters of the
  // screen: the maps are drawn with that picture's proportions.
  const int32_t width = renderer->GetViewportWidth();
  const int32_t height = renderer->GetViewportHeight();
  const bool letterbox = renderer->GetLetterbox() && width > 0 && height > 0;
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  if (letterbox) renderer->SetViewport(Vector2{0.0f, 0.125f * h}, Vector2{w, 0.75f * h});

  const bool wasFixed = camera->HasFixedMatrices();
  const Matrix4 savedView = camera->GetView();
  const Matrix4 savedProjection = camera->GetProjection();
  Matrix4 view = savedView;
  if (Mirrors()) view = MirrorAboutHeight(height_) * view;
  Matrix4 projection = savedProjection;
  // With the eye within the margin of the surface no oblique plane fits:
  // the map is then drawn unclipped.
  (void)WithObliqueNearPlane(savedProjection, PlaneToView(view, KeptSide(height_)), &projection);
  camera->SetMatrices(view, projection);

  if (renderer->BeginRenderToTexture(target) == kOk) {
    renderer->Clear(kClearTarget | kClearDepth, renderer->GetClearColor(), 1.0f, 0);
    renderer->SetMirrorCulling(Mirrors());
    for (int32_t i = 0; i < nodes_.Count(); ++i) {
      if (!nodes_[i]) continue;
      camera->SetPlaneMask(0xFFFFFFFFu);
      nodes_[i]->Draw(renderer);
    }
    renderer->BeginRenderToTexture(nullptr);
    renderer->SetMirrorCulling(false);
  }

  if (wasFixed) {
    camera->SetMatrices(savedView, savedProjection);
  } else {
    camera->ReleaseMatrices();
  }
  camera->SetPlaneMask(0xFFFFFFFFu);
  if (letterbox) renderer->SetViewport(Vector2{0.0f, 0.0f}, Vector2{w, h});
}

}  // namespace klx
