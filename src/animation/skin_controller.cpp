#include "animation/skin_controller.h"

#include <cmath>
#include <new>

#include "animation/skin_blend.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "scene/bounding_volume.h"
#include "scene/geometry_node.h"
#include "scene/node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SkinController, Controller)

namespace {

using BlendRoutine = void (*)(const SkinBlendInput&, Vector3*);

// Chosen on the first call in the process: x86-64 always has SSE2, other
// processors blend with the plain routine.
BlendRoutine ChosenBlendRoutine() {
#if defined(__SSE2__)
  static const BlendRoutine routine = BlendSkinSimd;
#else
  static const BlendRoutine routine = BlendSkinPlain;
#endif
  return routine;
}

// A bone's link and bind offset take at least this many stored bytes.
constexpr int32_t kStoredBytesPerBone = 4 + 40;

constexpr float kBoundGrowth = 1.5f;
constexpr float kNeverCulledRadius = 3.4028235e38f;

}  // namespace

SkinController::SkinController(const String& name) : Controller(name) {
  bonePositions_ = new (std::nothrow) Vector3Buffer(String());
}

const char* SkinController::BlendRoutineName() {
  return ChosenBlendRoutine() == BlendSkinPlain ? "plain" : "sse2";
}

void SkinController::AddBone(Node* bone, const Transform& bindOffset) {
  bones_.push_back(Ref<Node>(bone));
  bindOffsets_.push_back(bindOffset);
  boneMatrices_.push_back(Matrix4::Identity());
  bonePositions_ = new (std::nothrow) Vector3Buffer(String(), GetBoneCount());
}

Node* SkinController::GetBone(int32_t index) const {
  return index >= 0 && index < GetBoneCount() ? bones_[static_cast<size_t>(index)].Get() : nullptr;
}

const Transform* SkinController::GetBindOffset(int32_t index) const {
  return index >= 0 && index < GetBoneCount() ? &bindOffsets_[static_cast<size_t>(index)] : nullptr;
}

// ---------------------------------------------------------------------------
// The update

void SkinController::ComputeBoneMatrices() {
  Vector3* positions = bonePositions_ && bonePositions_->GetCount() == GetBoneCount() ? bonePositions_->Elements()
                                                                                    : nullptr;
  for (size_t k = 0; k < bones_.size(); ++k) {
    // A missing bone stands at the world's origin.
    const Transform world = bones_[k] ? bones_[k]->GetWorldTransform() : Transform{};
    boneMatrices_[k] = ToMatrix(Compose(bindOffsets_[k], world));
    if (positions != nullptr) positions[k] = world.translation;
  }
}

void SkinController::FitOwnerBound(Node& owner) {
  SphereBoundingVolume sphere;
  if (GetBoneCount() < 2) {
    sphere.Set(Vector3{0, 0, 0}, kNeverCulledRadius);
  } else if (bonePositions_ && bonePositions_->GetCount() > 0 &&
             sphere.GenerateFromVertices(bonePositions_->Elements(), bonePositions_->GetCount()) == kOk) {
    sphere.Set(sphere.GetCenter(), sphere.GetRadius() * kBoundGrowth);
  } else {
    return;
  }
  BoundingVolume* bound = owner.GetWorldBound();
  if (bound != nullptr && bound->GetType() == kSphereVolumeType) bound->CopyFrom(&sphere);
  owner.SetWorldBoundUpdate(false);
}

bool SkinController::HasStreamsFor(int32_t count) const {
  return weights_ && indices_ && vertices_ && vertices_->GetCount() == count && weights_->GetCount() >= count &&
         indices_->GetCount() >= count;
}

void SkinController::Update(double) {
  auto* owner = DynamicCast<GeometryNode>(GetOwner());
  if (!IsActive()) {
    // The shader skins: the matrices and the bound only.
    ComputeBoneMatrices();
    if (owner != nullptr) FitOwnerBound(*owner);
    return;
  }
  // A mesh whose positions are the bind pose itself, or whose counts
  // disagree with it, is not deformed: blending would overwrite the pose
  // or read past a stream.
  auto* target = owner != nullptr ? DynamicCast<Vector3Buffer>(owner->GetVertexBuffer()) : nullptr;
  if (target == nullptr || target == vertices_.Get() || !HasStreamsFor(target->GetCount())) return;
  ComputeBoneMatrices();
  target->MarkChanged();
  SkinBlendInput input;
  input.positions = vertices_->Elements();
  input.weights = weights_->Elements();
  input.indices = indices_->Elements();
  input.vertexCount = target->GetCount();
  input.bones = boneMatrices_.data();
  input.boneCount = GetBoneCount();
  ChosenBlendRoutine()(input, target->Elements());
  FitOwnerBound(*owner);
  // The blended positions are in world space already.
  owner->WorldTransform() = Transform{};
  owner->SetWorldTransformUpdate(false);
}

bool SkinController::FitsShaderPalette() {
  const int32_t count = vertices_ ? vertices_->GetCount() : 0;
  if (GetBoneCount() < 1 || GetBoneCount() > kMaxShaderBones || count == 0 || !HasStreamsFor(count)) return false;
  // The mesh's indices and coordinates are drawn with the bind pose.
  auto* owner = DynamicCast<GeometryNode>(GetOwner());
  Buffer* posed = owner != nullptr ? owner->GetVertexBuffer() : nullptr;
  if (posed != nullptr && posed->GetCount() != count) return false;
  PaletteCheck& check = paletteCheck_;
  if (check.weights == weights_.Get() && check.indices == indices_.Get() && check.bones == GetBoneCount() &&
      check.vertices == count) {
    return check.fits;
  }
  check = PaletteCheck{weights_.Get(), indices_.Get(), GetBoneCount(), count, true};
  const Vector4* weights = weights_->Elements();
  const Vector4* indices = indices_->Elements();
  const float bones = static_cast<float>(GetBoneCount());
  for (int32_t v = 0; v < count && check.fits; ++v) {
    const float w[4] = {weights[v].x, weights[v].y, weights[v].z, weights[v].w};
    const float i[4] = {indices[v].x, indices[v].y, indices[v].z, indices[v].w};
    for (int k = 0; k < 4; ++k) {
      if (!std::isfinite(w[k]) || !std::isfinite(i[k])) check.fits = false;
      // The shader reads every index, also those of zero weights.
      else if (!(i[k] >= 0.0f && i[k] < bones)) check.fits = false;
    }
  }
  return check.fits;
}

// ---------------------------------------------------------------------------
// Links, save and load

void SkinController::VisitLinks(const LinkVisitor& visit) const {
  Controller::VisitLinks(visit);
  for (const Ref<Node>& bone : bones_) visit(bone.Get());
  visit(bonePositions_.Get());
  visit(weights_.Get());
  visit(indices_.Get());
  visit(vertices_.Get());
  visit(normals_.Get());
  visit(tangents_.Get());
}

int SkinController::Save(MemoryStream& stream) {
  auto fail = [this](const char* message) {
    LogError(message, GetName().CStr(), GetID());
    return kFailed;
  };
  if (Controller::Save(stream) != kOk) return fail(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"));
  if (stream.WriteInt32(GetBoneCount()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить количество костей. Имя[%s] ID[%d]"));
  }
  for (const Ref<Node>& bone : bones_) {
    if (stream.WriteObject(bone.Get()) != kOk) return fail(KLX_TEXT("Невозможно сохранить кость. Имя[%s] ID[%d]"));
  }
  for (const Transform& offset : bindOffsets_) {
    if (stream.WriteTransform(offset) != kOk) return fail(KLX_TEXT("Невозможно сохранить кость. Имя[%s] ID[%d]"));
  }
  if (stream.WriteObject(weights_.Get()) != kOk) return fail(KLX_TEXT("Невозможно сохранить веса. Имя[%s] ID[%d]"));
  if (stream.WriteObject(indices_.Get()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить индексы. Имя[%s] ID[%d]"));
  }
  if (stream.WriteObject(vertices_.Get()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить вершины. Имя[%s] ID[%d]"));
  }
  if (stream.WriteObject(normals_.Get()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить нормали. Имя[%s] ID[%d]"));
  }
  if (stream.WriteObject(tangents_.Get()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить тангенсы. Имя[%s] ID[%d]"));
  }
  return kOk;
}

namespace {

// Reads a buffer link of class T that does not lead back to `holder`.
template <class T>
bool ReadBufferLink(MemoryStream& stream, const Object* holder, Ref<T>& out) {
  T* buffer = nullptr;
  if (stream.ReadObjectOf(buffer) != kOk || ClosesLoop(holder, buffer)) return false;
  out = buffer;
  return true;
}

}  // namespace

int SkinController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  auto failNameId = [this](const char* message) {
    LogError(message, GetName().CStr(), GetID());
    return kFailed;
  };
  bones_.clear();
  bindOffsets_.clear();
  boneMatrices_.clear();
  // A count the remaining bytes cannot hold is refused before anything is
  // allocated for it.
  int32_t count = 0;
  const int32_t room = (stream.GetSize() - stream.GetPosition()) / kStoredBytesPerBone;
  if (stream.ReadInt32(count) != kOk || count < 0 || count > room) {
    LogError(KLX_TEXT("Невозможно загрузить количество костей. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  bones_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    // A bone that is an ancestor of the mesh (still being read) would hold
    // the mesh, and so this controller, in a loop.
    Node* bone = nullptr;
    if (stream.ReadObjectOf(bone) != kOk || ClosesLoop(this, bone) || SceneNode::IsLoading(bone)) {
      LogError(KLX_TEXT("Невозможно загрузить кость. ID[%d]"), GetID());
      return kFailed;
    }
    bones_.push_back(Ref<Node>(bone));
  }
  bonePositions_ = new (std::nothrow) Vector3Buffer(String(), count);
  bindOffsets_.reserve(static_cast<size_t>(count));
  boneMatrices_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Transform offset;
    if (stream.ReadTransform(offset) != kOk) {
      LogError(KLX_TEXT("Невозможно загрузить кость. ID[%d]"), GetID());
      return kFailed;
    }
    bindOffsets_.push_back(offset);
    boneMatrices_.push_back(Matrix4::Identity());
  }
  if (!ReadBufferLink(stream, this, weights_)) return failNameId(KLX_TEXT("Невозможно загрузить веса. Имя[%s] ID[%d]"));
  if (!ReadBufferLink(stream, this, indices_)) {
    return failNameId(KLX_TEXT("Невозможно загрузить индексы. Имя[%s] ID[%d]"));
  }
  if (!ReadBufferLink(stream, this, vertices_)) {
    return failNameId(KLX_TEXT("Невозможно загрузить вершины. Имя[%s] ID[%d]"));
  }
  if (!ReadBufferLink(stream, this, normals_)) {
    return failNameId(KLX_TEXT("Невозможно загрузить нормали. Имя[%s] ID[%d]"));
  }
  if (!ReadBufferLink(stream, this, tangents_)) {
    return failNameId(KLX_TEXT("Невозможно загрузить тангенсы. Имя[%s] ID[%d]"));
  }
  paletteCheck_ = PaletteCheck{};
  return kOk;
}

}  // namespace klx
