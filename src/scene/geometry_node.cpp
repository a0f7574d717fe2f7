#include "scene/geometry_node.h"

#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "scene/camera.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(GeometryNode, Node)
KLX_IMPLEMENT_CLASS(Points, GeometryNode)
KLX_IMPLEMENT_CLASS(Lines, GeometryNode)
KLX_IMPLEMENT_CLASS(StripLines, GeometryNode)
KLX_IMPLEMENT_CLASS(Triangles, GeometryNode)

namespace {

constexpr float kSmallLengthSquared = 1.1920929e-7f;

Vector3 NormalizedOrZero(const Vector3& v) {
  const float lengthSquared = v.Dot(v);
  return lengthSquared < kSmallLengthSquared ? Vector3{} : v * (1.0f / std::sqrt(lengthSquared));
}

}  // namespace

GeometryNode::GeometryNode(const String& name) : Node(name) {
  modelBound_ = new (std::nothrow) SphereBoundingVolume();
  if (!modelBound_) LogError(KLX_TEXT("Недостаточно памяти для создания окружающего объёма."));
}

void GeometryNode::InvalidateEffect() {
  if (effect_ != nullptr) effect_->InvalidateEffectPasses();
}

int GeometryNode::SetEffect(Object* effect) {
  auto* geometryEffect = dynamic_cast<GeometryEffectInterface*>(effect);
  const bool refused = effect != nullptr && geometryEffect == nullptr;
  effectObject_ = refused ? nullptr : effect;
  effect_ = refused ? nullptr : geometryEffect;
  InvalidateEffect();
  return refused ? kInvalidArg : kOk;
}
void GeometryNode::SetVertexBuffer(Buffer* buffer) {
  vertices_ = buffer;
  InvalidateEffect();
}
void GeometryNode::SetPointSizeBuffer(Buffer* buffer) {
  pointSizes_ = buffer;
  InvalidateEffect();
}
void GeometryNode::SetColorBuffer(Buffer* buffer) {
  colors_ = buffer;
  InvalidateEffect();
}
void GeometryNode::SetNormalBuffer(Buffer* buffer) {
  normals_ = buffer;
  InvalidateEffect();
}
void GeometryNode::SetTangentBuffer(Buffer* buffer) {
  tangents_ = buffer;
  InvalidateEffect();
}
void GeometryNode::SetTexCoordBuffer(int32_t set, Buffer* buffer) {
  if (set < 0 || set >= kTexCoordSets) return;
  texCoords_[set] = buffer;
  InvalidateEffect();
}
void GeometryNode::SetIndexBuffer(IntBuffer* buffer) {
  indices_ = buffer;
  InvalidateEffect();
}

void GeometryNode::Update(double elapsed) {
  Node::Update(elapsed);
  if (effect_ != nullptr) effect_->UpdateEffect(elapsed);
}

void GeometryNode::UpdateWorldBound() {
  if (worldBoundUpdate_ && modelBound_ && worldBound_) modelBound_->TransformInto(worldBound_.Get(), worldTransform_);
}

void GeometryNode::UpdateModelBound() {
  auto* vertices = DynamicCast<Vector3Buffer>(vertices_.Get());
  // A buffer without data keeps the previous bound.
  if (vertices == nullptr || modelBound_ == nullptr || vertices->GetCount() == 0) return;
  modelBound_->GenerateFromVertices(vertices->Elements(), vertices->GetCount());
}

void GeometryNode::UpdateModel(bool withNormals, bool withTangents) {
  UpdateModelBound();
  if (withNormals) GenerateNormals();
  if (withTangents) GenerateTangents(0);
}

void GeometryNode::DrawSelf(DrawContext* context) {
  if (context == nullptr || effect_ == nullptr || !effect_->IsEnabled()) return;
  if (effect_->IsBlended()) {
    // Transparent geometry waits for the sorted queue, farthest first.
    float key = 0.0f;
    if (Camera* camera = context->GetCamera(); camera != nullptr && worldBound_) {
      const Vector3 d = worldBound_->GetCenter() - camera->GetWorldTransform().translation;
      key = d.Dot(d);
    }
    context->QueueSorted(this, key);
    return;
  }
  DrawQueued(context);
}

void GeometryNode::DrawQueued(DrawContext* context) {
  context->SetCurrentGeometry(this);
  DrawPasses(context);
}

void GeometryNode::DrawPasses(DrawContext* context) {
  const int32_t passes = effect_ != nullptr ? effect_->GetPassCount() : 0;
  const int32_t vertexCount = vertices_ ? vertices_->GetCount() : 0;
  const int32_t indexCount = indices_ ? indices_->GetCount() : 0;
  for (int32_t i = 0; i < passes; ++i) {
    if (effect_->ApplyPass(i, context) != kOk) continue;
    DrawPrimitivesOf(context, vertexCount, indexCount);
    context->RemovePassLights();
  }
}

// ---------------------------------------------------------------------------
// Save and load

int GeometryNode::Save(MemoryStream& stream) {
  if (Node::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  struct Field {
    Object* object;
    const char* message;
  };
  const char* const texCoordMessage = KLX_TEXT("Невозможно сохранить текстурные координаты. Имя[%s] ID[%d]");
  const Field fields[] = {
      {effectObject_.Get(), KLX_TEXT("Невозможно сохранить эффект. Имя[%s] ID[%d]")},
      {vertices_.Get(), KLX_TEXT("Невозможно сохранить вершины. Имя[%s] ID[%d]")},
      {pointSizes_.Get(), KLX_TEXT("Невозможно сохранить размеры точек. Имя[%s] ID[%d]")},
      {colors_.Get(), KLX_TEXT("Невозможно сохранить цвета вершин. Имя[%s] ID[%d]")},
      {normals_.Get(), KLX_TEXT("Невозможно сохранить нормали. Имя[%s] ID[%d]")},
      {tangents_.Get(), KLX_TEXT("Невозможно сохранить тангенты. Имя[%s] ID[%d]")},
  };
  for (const Field& field : fields) {
    if (stream.WriteObject(field.object) != kOk) {
      LogError(field.message, GetName().CStr(), GetID());
      return kFailed;
    }
  }
  for (const Ref<Buffer>& set : texCoords_) {
    if (stream.WriteObject(set.Get()) != kOk) {
      LogError(texCoordMessage, GetName().CStr(), GetID());
      return kFailed;
    }
  }
  if (stream.WriteObject(indices_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить индексы. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(modelBound_ ? modelBound_->GetType() : kSphereVolumeType) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить тип локального окружающего объёма. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  return kOk;
}

int GeometryNode::Load(MemoryStream& stream) {
  if (Node::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  auto fail = [this](const char* message) {
    LogError(message, GetID(), GetName().CStr());
    return kFailed;
  };
  Object* effect = nullptr;
  GeometryEffectInterface* geometryEffect = nullptr;
  if (stream.ReadObjectImplementing(effect, geometryEffect, "KLX.GeometryNodeEffect") != kOk ||
      ClosesLoop(this, effect)) {
    return fail(KLX_TEXT("Невозможно загрузить эффект. ID[%d] Имя[%s]"));
  }
  SetEffect(effect);
  struct Field {
    void (GeometryNode::*set)(Buffer*);
    const char* message;
  };
  const Field fields[] = {
      {&GeometryNode::SetVertexBuffer, KLX_TEXT("Невозможно загрузить вершины. ID[%d] Имя[%s]")},
      {&GeometryNode::SetPointSizeBuffer, KLX_TEXT("Невозможно загрузить размеры точек. ID[%d] Имя[%s]")},
      {&GeometryNode::SetColorBuffer, KLX_TEXT("Невозможно загрузить цвета. ID[%d] Имя[%s]")},
      {&GeometryNode::SetNormalBuffer, KLX_TEXT("Невозможно загрузить нормали. ID[%d] Имя[%s]")},
      {&GeometryNode::SetTangentBuffer, KLX_TEXT("Невозможно загрузить тангенты. ID[%d] Имя[%s]")},
  };
  for (const Field& field : fields) {
    Buffer* buffer = nullptr;
    if (stream.ReadObjectOf(buffer) != kOk || ClosesLoop(this, buffer)) return fail(field.message);
    (this->*field.set)(buffer);
  }
  for (int32_t set = 0; set < kTexCoordSets; ++set) {
    Buffer* buffer = nullptr;
    if (stream.ReadObjectOf(buffer) != kOk || ClosesLoop(this, buffer)) {
      return fail(KLX_TEXT("Невозможно загрузить текстурные координаты. ID[%d] Имя[%s]"));
    }
    SetTexCoordBuffer(set, buffer);
  }
  IntBuffer* indices = nullptr;
  if (stream.ReadObjectOf(indices) != kOk || ClosesLoop(this, indices)) return fail(KLX_TEXT("Невозможно загрузить индексы. ID[%d] Имя[%s]"));
  SetIndexBuffer(indices);
  int32_t type = 0;
  if (stream.ReadInt32(type) != kOk) {
    return fail(KLX_TEXT("Невозможно загрузить тип лоакльного окружающего объёма. ID[%d] Имя[%s]"));
  }
  // The stored bound is only its kind: the shape is fitted to the vertices.
  modelBound_ = BoundingVolume::Create(type);
  if (!modelBound_) {
    LogError(KLX_TEXT("Недостаточно памяти для создания локального окружающего объёма. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kOutOfMemory;
  }
  UpdateModelBound();
  return kOk;
}

void GeometryNode::VisitLinks(const LinkVisitor& visit) const {
  Node::VisitLinks(visit);
  visit(effectObject_.Get());
  for (const Buffer* buffer : {vertices_.Get(), pointSizes_.Get(), colors_.Get(), normals_.Get(), tangents_.Get()}) {
    visit(buffer);
  }
  for (const Ref<Buffer>& set : texCoords_) visit(set.Get());
  visit(indices_.Get());
}

Object* GeometryNode::FindByName(const String& name) {
  if (Object* found = Node::FindByName(name)) return found;
  Object* parts[] = {effectObject_.Get(), vertices_.Get(), pointSizes_.Get(), colors_.Get(), normals_.Get(), tangents_.Get()};
  for (Object* part : parts) {
    if (part != nullptr) {
      if (Object* found = part->FindByName(name)) return found;
    }
  }
  for (const Ref<Buffer>& set : texCoords_) {
    if (set) {
      if (Object* found = set->FindByName(name)) return found;
    }
  }
  if (indices_) {
    if (Object* found = indices_->FindByName(name)) return found;
  }
  return modelBound_ ? modelBound_->FindByName(name) : nullptr;
}

void GeometryNode::CollectByType(const RTTI& type, Array<Object*>& found) {
  Node::CollectByType(type, found);
  Object* parts[] = {effectObject_.Get(), vertices_.Get(), pointSizes_.Get(), colors_.Get(), normals_.Get(), tangents_.Get()};
  for (Object* part : parts) {
    if (part != nullptr) part->CollectByType(type, found);
  }
  for (const Ref<Buffer>& set : texCoords_) {
    if (set) set->CollectByType(type, found);
  }
  if (indices_) indices_->CollectByType(type, found);
  if (modelBound_) modelBound_->CollectByType(type, found);
}

// ---------------------------------------------------------------------------
// Normals and tangents

void Triangles::GenerateNormals() {
  auto* vertices = DynamicCast<Vector3Buffer>(vertices_.Get());
  if (!indices_ || vertices == nullptr) return;
  const int32_t count = vertices->GetCount();
  Ref<Vector3Buffer> normals(new (std::nothrow) Vector3Buffer(String(), count));
  if (!normals || (count > 0 && normals->GetData() == nullptr)) {
    LogError(KLX_TEXT("Недостаточно памяти для создания буффера нормалей. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return;
  }
  normals_ = normals;  // replaces the old buffer without the setter
  Vector3* n = normals->Elements();
  const Vector3* v = vertices->Elements();
  const int32_t* index = indices_->Elements();
  for (int32_t t = 0; t + 2 < indices_->GetCount(); t += 3) {
    const int32_t i0 = index[t], i1 = index[t + 1], i2 = index[t + 2];
    // Indices outside the vertex array name no vertex: the triangle is skipped.
    if (i0 < 0 || i1 < 0 || i2 < 0 || i0 >= count || i1 >= count || i2 >= count) continue;
    const Vector3 face = (v[i1] - v[i0]).Cross(v[i2] - v[i0]);
    n[i0] = n[i0] + face;
    n[i1] = n[i1] + face;
    n[i2] = n[i2] + face;
  }
  for (int32_t i = 0; i < count; ++i) n[i] = NormalizedOrZero(n[i]);
  normals->MarkChanged();
}

void Triangles::GenerateTangents(int32_t set) {
  auto* vertices = DynamicCast<Vector3Buffer>(vertices_.Get());
  Buffer* coordinates = GetTexCoordBuffer(set);
  if (!indices_ || vertices == nullptr || coordinates == nullptr) return;
  int32_t stride = 0;
  if (DynamicCast<Vector2Buffer>(coordinates) != nullptr) stride = 2;
  if (DynamicCast<Vector3Buffer>(coordinates) != nullptr) stride = 3;
  if (DynamicCast<Vector4Buffer>(coordinates) != nullptr) stride = 4;
  if (stride == 0) return;  // a FloatBuffer set has no t
  const int32_t count = vertices->GetCount();
  Ref<Vector3Buffer> tangents(new (std::nothrow) Vector3Buffer(String(), count));
  if (!tangents || (count > 0 && tangents->GetData() == nullptr)) {
    LogError(KLX_TEXT("Недостаточно памяти для создания буффера тангенсов. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return;
  }
  tangents_ = tangents;
  Vector3* out = tangents->Elements();
  const Vector3* p = vertices->Elements();
  const auto* st = static_cast<const float*>(coordinates->GetData());
  const int32_t coordinateCount = coordinates->GetCount();
  const int32_t* index = indices_->Elements();
  for (int32_t t = 0; t + 2 < indices_->GetCount(); t += 3) {
    const int32_t i[3] = {index[t], index[t + 1], index[t + 2]};
    bool valid = true;
    for (int32_t k : i) valid = valid && k >= 0 && k < count && k < coordinateCount;
    if (!valid) continue;
    const float s0 = st[i[0] * stride], t0 = st[i[0] * stride + 1];
    const float s1 = st[i[1] * stride], t1 = st[i[1] * stride + 1];
    const float s2 = st[i[2] * stride], t2 = st[i[2] * stride + 1];
    // Degenerate texture coordinates define no tangent: skipped.
    if ((s1 - s0) * (t2 - t0) - (t1 - t0) * (s2 - s0) == 0.0f) continue;
    float tangent[3];
    const float pk0[3] = {p[i[0]].x, p[i[0]].y, p[i[0]].z};
    const float pk1[3] = {p[i[1]].x, p[i[1]].y, p[i[1]].z};
    const float pk2[3] = {p[i[2]].x, p[i[2]].y, p[i[2]].z};
    for (int axis = 0; axis < 3; ++axis) {
      const Vector3 e1{pk1[axis] - pk0[axis], s1 - s0, t1 - t0};
      const Vector3 e2{pk2[axis] - pk0[axis], s2 - s0, t2 - t0};
      const Vector3 c = e1.Cross(e2);
      tangent[axis] = c.x != 0.0f ? -c.y / c.x : 0.0f;
    }
    const Vector3 add{tangent[0], tangent[1], tangent[2]};
    for (int32_t k : i) out[k] = out[k] + add;
  }
  for (int32_t k = 0; k < count; ++k) out[k] = NormalizedOrZero(out[k]);
  tangents->MarkChanged();
}

}  // namespace klx
