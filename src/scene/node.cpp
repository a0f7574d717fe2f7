#include "scene/node.h"

#include <new>

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Node, Object)

namespace {

constexpr int kMaxAncestors = 4096;

}  // namespace

Node::Node(const String& name) : Object(name) {
  worldBound_ = new (std::nothrow) SphereBoundingVolume();
  if (!worldBound_) LogError(KLX_TEXT("Недостаточно памяти для создания окружающего объёма."));
}

int Node::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(parent_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родителя. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteTransform(localTransform_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить локальную трансформацию. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  const int32_t type = worldBound_ ? worldBound_->GetType() : kSphereVolumeType;
  if (stream.WriteInt32(type) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить тип окружающего объёма. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteBool(worldBoundUpdate_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить флаг обновления мирового объёма. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  return kOk;
}

int Node::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  // The parent link is read and checked, but the parent pointer is set by
  // the scene node whose children array holds this node: a file whose two
  // sides disagree cannot leave a pointer to a parent nothing keeps alive.
  Node* parent = nullptr;
  stream.NextLinkUncounted();
  if (stream.ReadObjectOf(parent) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родителя. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  if (stream.ReadTransform(localTransform_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить локальную трансформацию. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  int32_t type = 0;
  if (stream.ReadInt32(type) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить тип окружающего объёма. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  if (stream.ReadBool(worldBoundUpdate_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить флаг обновления окружающего объёма. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  worldBound_ = BoundingVolume::Create(type);
  if (!worldBound_) {
    LogError(KLX_TEXT("Недостаточно памяти для создания мирового окружающего объёма. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  return kOk;
}

Object* Node::FindByName(const String& name) {
  if (Object* found = Object::FindByName(name); found != nullptr) return found;
  return worldBound_ ? worldBound_->FindByName(name) : nullptr;
}

void Node::CollectByType(const RTTI& type, Array<Object*>& found) {
  Object::CollectByType(type, found);
  if (worldBound_) worldBound_->CollectByType(type, found);
}

void Node::Update(double elapsed) {
  UpdateControllers(elapsed);
  UpdateWorldTransform();
}

void Node::DrawSelf(DrawContext*) {}

void Node::Draw(DrawContext* context) {
  if (hidden_) return;
  CullingFrustum* frustum = context != nullptr ? context->GetActiveFrustum() : nullptr;
  if (frustum == nullptr) {
    DrawSelf(context);
    return;
  }
  // Siblings start again from the parent's mask.
  const uint32_t mask = frustum->mask;
  if (!worldBound_ || !frustum->IsCulled(*worldBound_)) DrawSelf(context);
  frustum->mask = mask;
}

void Node::UpdateWorldBound() {}

void Node::UpdateGeometricState(double elapsed, bool propagateUp) {
  Update(elapsed);
  UpdateWorldBound();
  if (!propagateUp) return;
  // Parent links come from files: a damaged one may loop, so the walk is
  // bounded far above any real scene's depth.
  int steps = 0;
  for (Node* ancestor = parent_; ancestor != nullptr && steps < kMaxAncestors; ancestor = ancestor->parent_, ++steps)
    ancestor->UpdateWorldBound();
}

void Node::UpdateWorldTransform() {
  if (!worldTransformUpdate_) return;
  worldTransform_ = parent_ == nullptr ? localTransform_ : Compose(localTransform_, parent_->worldTransform_);
}

}  // namespace klx
