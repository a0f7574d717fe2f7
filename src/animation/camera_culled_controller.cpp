#include "animation/camera_culled_controller.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "scene/camera.h"
#include "scene/node.h"
#include "scene/screen_context.h"

namespace klx {

KLX_IMPLEMENT_CLASS(CameraCulledController, Controller)

CameraCulledController::~CameraCulledController() { SetHidden(false); }

void CameraCulledController::SetHidden(bool hidden) {
  for (int32_t i = 0; i < nodes_.Count(); ++i) {
    // Listed objects that are not nodes have nothing to hide.
    if (auto* node = DynamicCast<Node>(nodes_[i].Get())) node->SetHidden(hidden);
  }
}

void CameraCulledController::Update(double) {
  if (!IsActive()) return;
  Object* owner = GetOwner();
  if (owner != nullptr && GetScreenCamera() == owner) {
    SetHidden(true);
    wasActive_ = true;
  } else if (wasActive_) {
    SetHidden(false);
    wasActive_ = false;
  }
}

void CameraCulledController::VisitLinks(const LinkVisitor& visit) const {
  Controller::VisitLinks(visit);
  for (int32_t i = 0; i < nodes_.Count(); ++i) visit(nodes_[i].Get());
}

int CameraCulledController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObjectArray(nodes_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить узлы. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int CameraCulledController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  SetHidden(false);
  nodes_.Clear();
  wasActive_ = false;
  bool loops = false;
  const int result = stream.ReadObjectArray(nodes_);
  // A listed object that runs this controller would hold it in a loop of
  // counted references: refused like a damaged list.
  for (int32_t i = 0; i < nodes_.Count() && !loops; ++i) {
    loops = nodes_[i] && (nodes_[i].Get() == this || nodes_[i]->Reaches(this));
  }
  if (result != kOk || loops) {
    nodes_.Clear();
    LogError(KLX_TEXT("Невозможно загрузить узлы. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
