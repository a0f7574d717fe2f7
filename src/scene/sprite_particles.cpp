#include "scene/sprite_particles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "scene/bounding_volume.h"
#include "scene/camera.h"
#include "scene/screen_context.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SpriteParticleSystem, ParticleSystem)
KLX_IMPLEMENT_CLASS(Foliage, SpriteParticleSystem)
KLX_IMPLEMENT_CLASS(Flare, GeometryNode)

const Vector2 kSpriteQuadTexCoords[6] = {{0, 1}, {0, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}};

namespace {

Vector3 HalfUnit(const Vector3& v) {
  const float length = std::sqrt(v.Dot(v));
  return length > 0.0f ? v * (0.5f / length) : Vector3{0, 0, 0};
}

// The screen's axes from the camera on screen; the world's x and y
// without one.
void ScreenAxes(Vector3* right, Vector3* up) {
  *right = Vector3{1, 0, 0};
  *up = Vector3{0, 1, 0};
  if (const Camera* camera = GetScreenCamera()) {
    *right = camera->GetRight();
    *up = camera->GetUp();
  }
}

// Texture coordinates for `quads` sprites.
Ref<Vector2Buffer> QuadTexCoords(int32_t quads) {
  Ref<Vector2Buffer> buffer(new (std::nothrow) Vector2Buffer(String(), quads * 6));
  if (!buffer || buffer->GetCount() != quads * 6) return Ref<Vector2Buffer>();
  for (int32_t q = 0; q < quads; ++q) std::copy(kSpriteQuadTexCoords, kSpriteQuadTexCoords + 6, buffer->Elements() + 6 * q);
  return buffer;
}

}  // namespace

void WriteSpriteQuad(const Vector3& centre, float size, const Vector3& right, const Vector3& up, Vector3* corners) {
  const Vector3 a = HalfUnit(right + up) * size;
  const Vector3 b = HalfUnit(up - right) * size;
  corners[0] = centre - a;
  corners[1] = centre + b;
  corners[2] = centre - b;
  corners[3] = centre + b;
  corners[4] = centre + a;
  corners[5] = centre - b;
}

bool ScreenDrawsPointSprites() {
  const DrawContext* context = GetScreenContext();
  return context != nullptr && context->DrawsPointSprites();
}

// ---------------------------------------------------------------------------
// Sprite particle systems

void SpriteParticleSystem::AllocateBuffers() {
  const bool points = ScreenDrawsPointSprites();
  const int32_t maximum = GetMaximumParticles();
  const int32_t vertices = points ? maximum : 6 * maximum;
  Ref<Vector3Buffer> positions(new (std::nothrow) Vector3Buffer(String(), vertices));
  Ref<ColorBuffer> colours(new (std::nothrow) ColorBuffer(String(), vertices));
  Ref<FloatBuffer> sizes;
  Ref<Vector2Buffer> coordinates;
  if (points) {
    sizes = new (std::nothrow) FloatBuffer(String(), vertices);
    coordinates = new (std::nothrow) Vector2Buffer(String(), vertices);
  } else {
    coordinates = QuadTexCoords(maximum);
  }
  // Without memory for them the system draws nothing.
  const bool made = positions && positions->GetCount() == vertices && colours && colours->GetCount() == vertices &&
                    coordinates && (!points || (sizes && sizes->GetCount() == vertices));
  if (!made) {
    LogError(KLX_TEXT("Недостаточно памяти для буферов системы частиц. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    positions = nullptr, colours = nullptr, sizes = nullptr, coordinates = nullptr;
  }
  SetVertexBuffer(positions.Get());
  SetColorBuffer(colours.Get());
  SetPointSizeBuffer(sizes.Get());
  SetTexCoordBuffer(0, coordinates.Get());
  SetIndexBuffer(nullptr);
  pointBuffers_ = points;
  allocated_ = true;
}

void SpriteParticleSystem::WriteBuffers() {
  auto* positions = DynamicCast<Vector3Buffer>(GetVertexBuffer());
  auto* colours = DynamicCast<ColorBuffer>(GetColorBuffer());
  if (positions == nullptr || colours == nullptr) return;
  Vector3* p = positions->Elements();
  Color* c = colours->Elements();
  const int32_t room = positions->GetCount();
  int32_t written = 0;
  if (pointBuffers_) {
    auto* sizes = DynamicCast<FloatBuffer>(GetPointSizeBuffer());
    if (sizes == nullptr) return;
    for (const Particle* particle = GetFirstParticle(); particle != nullptr && written < room;
         particle = particle->next, ++written) {
      p[written] = particle->position;
      c[written] = particle->color;
      sizes->Elements()[written] = particle->size;
    }
    sizes->MarkChanged();
  } else {
    Vector3 right, up;
    ScreenAxes(&right, &up);
    for (const Particle* particle = GetFirstParticle(); particle != nullptr && written + 6 <= room;
         particle = particle->next, written += 6) {
      WriteSpriteQuad(particle->position, particle->size, right, up, p + written);
      std::fill(c + written, c + written + 6, particle->color);
    }
  }
  positions->MarkChanged();
  colours->MarkChanged();
}

void SpriteParticleSystem::Update(double elapsed) {
  ParticleSystem::Update(elapsed);
  // The drawing mode is known once something draws the scene; a scene
  // loaded before its window gets its buffers here.
  if (!allocated_ || pointBuffers_ != ScreenDrawsPointSprites()) AllocateBuffers();
  WriteBuffers();
}

void SpriteParticleSystem::DrawPrimitivesOf(DrawContext* context, int32_t, int32_t) {
  const int32_t live = std::min(GetLiveCount(), GetMaximumParticles());
  if (live > 0) context->DrawPrimitives(GetPrimitiveType(), pointBuffers_ ? live : 2 * live);
}

// ---------------------------------------------------------------------------
// Foliage

namespace {

// A leaf's sway over one turn of 360 degrees: a slow swing with a quicker
// flutter on it, smooth all the way round (both terms come back to their
// start), peaking at about ±1.
std::array<float, 360> MakeSwayTable() {
  std::array<float, 360> table{};
  constexpr double kDegree = 3.14159265358979 / 180.0;
  for (int d = 0; d < 360; ++d) {
    table[static_cast<size_t>(d)] =
        static_cast<float>(0.8 * std::sin(d * kDegree) + 0.2 * std::sin(3.0 * d * kDegree + 0.7));
  }
  return table;
}

}  // namespace

float Foliage::Sway(int32_t degree) {
  static const std::array<float, 360> table = MakeSwayTable();
  const int32_t d = degree % 360;
  return table[static_cast<size_t>(d < 0 ? d + 360 : d)];
}

void Foliage::OnBirth(Particle& particle) {
  particle.rest = particle.position;
  particle.sway = particle.velocity;
  particle.phase = Random01();
  particle.velocity = Vector3{0, 0, 0};
  particle.acceleration = Vector3{0, 0, 0};
}

void Foliage::MoveParticles(float dt) {
  // The wind of the foliage's own effect: w its amplitude, t its speed
  // times the seconds its clock has run.
  float amplitude = 0.0f, windSpeed = 0.0f;
  double clock = 0.0;
  const auto* effect = dynamic_cast<const GeometryEffectInterface*>(GetEffect());
  if (effect == nullptr || !effect->GetWind(&amplitude, &windSpeed, &clock)) amplitude = windSpeed = 0.0f;
  const double t = static_cast<double>(windSpeed) * clock;
  // Ageing, colours and sizes as any system, without flight.
  SpriteParticleSystem::MoveParticles(dt);
  for (Particle* p = FirstParticle(); p != nullptr; p = p->next) {
    const double degrees = std::fmod((t + p->phase) * 57.29578, 360.0);
    const int32_t degree = std::isfinite(degrees) ? static_cast<int32_t>(degrees) : 0;
    p->position = p->rest + p->sway * (amplitude * Sway(degree));
  }
}

// ---------------------------------------------------------------------------
// Flares

void Flare::Update(double elapsed) {
  GeometryNode::Update(elapsed);
  const bool points = ScreenDrawsPointSprites();
  if (!allocated_ || pointBuffers_ != points) {
    const int32_t vertices = points ? 1 : 6;
    SetVertexBuffer(Ref<Vector3Buffer>(new (std::nothrow) Vector3Buffer(String(), vertices)).Get());
    SetColorBuffer(Ref<ColorBuffer>(new (std::nothrow) ColorBuffer(String(), vertices)).Get());
    SetPointSizeBuffer(points ? Ref<FloatBuffer>(new (std::nothrow) FloatBuffer(String(), 1)).Get() : nullptr);
    SetTexCoordBuffer(0, points ? Ref<Vector2Buffer>(new (std::nothrow) Vector2Buffer(String(), 1)).Get()
                                : QuadTexCoords(1).Get());
    SetIndexBuffer(nullptr);
    pointBuffers_ = points;
    allocated_ = true;
  }
  auto* positions = DynamicCast<Vector3Buffer>(GetVertexBuffer());
  auto* colours = DynamicCast<ColorBuffer>(GetColorBuffer());
  if (positions == nullptr || colours == nullptr || positions->GetCount() != (points ? 1 : 6) ||
      colours->GetCount() != positions->GetCount()) {
    return;
  }
  const Vector3 at = GetWorldTransform().translation;
  if (points) {
    auto* sizes = DynamicCast<FloatBuffer>(GetPointSizeBuffer());
    if (sizes == nullptr || sizes->GetCount() != 1) return;
    positions->Elements()[0] = at;
    sizes->Elements()[0] = size;
    sizes->MarkChanged();
  } else {
    Vector3 right, up;
    ScreenAxes(&right, &up);
    WriteSpriteQuad(at, size, right, up, positions->Elements());
  }
  std::fill(colours->Elements(), colours->Elements() + colours->GetCount(), color);
  positions->MarkChanged();
  colours->MarkChanged();
}

void Flare::UpdateWorldBound() {
  BoundingVolume* bound = GetWorldBound();
  if (bound != nullptr && bound->GetType() == kSphereVolumeType) {
    static_cast<SphereBoundingVolume*>(bound)->Set(GetWorldTransform().translation, size);
  }
}

void Flare::DrawPrimitivesOf(DrawContext* context, int32_t, int32_t) {
  if (allocated_) context->DrawPrimitives(GetPrimitiveType(), pointBuffers_ ? 1 : 2);
}

int Flare::Save(MemoryStream& stream) {
  // The sprite's buffers are made at run time, never written to the file.
  Ref<Buffer> vertices = vertices_, sizes = pointSizes_, colours = colors_, coordinates = texCoords_[0];
  vertices_ = nullptr, pointSizes_ = nullptr, colors_ = nullptr, texCoords_[0] = nullptr;
  const int base = GeometryNode::Save(stream);
  vertices_ = vertices, pointSizes_ = sizes, colors_ = colours, texCoords_[0] = coordinates;
  if (base != kOk) return kFailed;
  if (stream.WriteColor(color) != kOk || stream.WriteFloat(size) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные флара. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int Flare::Load(MemoryStream& stream) {
  if (GeometryNode::Load(stream) != kOk) return kFailed;
  if (stream.ReadColor(color) != kOk || stream.ReadFloat(size) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные флара. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  size = std::isfinite(size) ? std::max(size, 0.0f) : 0.0f;
  allocated_ = false;
  return kOk;
}

}  // namespace klx
