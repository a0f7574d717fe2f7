#include "scene/particle_system.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/random15.h"
#include "core/result.h"
#include "scene/bounding_volume.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(ParticleSystem, GeometryNode)
KLX_IMPLEMENT_CLASS(NodeParticleSystem, ParticleSystem)

namespace {

const char* const kSaveMessage = KLX_TEXT("Невозможно сохранить данные системы частиц. Имя[%s] ID[%d]");
const char* const kLoadMessage = KLX_TEXT("Невозможно загрузить данные системы частиц. Имя[%s] ID[%d]");

Color JitteredColor(const Color& value, const Color& jitter) {
  return Color{Jittered(value.r, jitter.r), Jittered(value.g, jitter.g), Jittered(value.b, jitter.b),
               Jittered(value.a, jitter.a)};
}

Color Mix(const Color& a, const Color& b, float f) {
  return Color{a.r + f * (b.r - a.r), a.g + f * (b.g - a.g), a.b + f * (b.b - a.b), a.a + f * (b.a - a.a)};
}

// A stored float that is not a number reads as 0.
float Finite(float value) { return std::isfinite(value) ? value : 0.0f; }

}  // namespace

ParticleSystem::ParticleSystem(const String& name) : GeometryNode(name) {}

ParticleSystem::~ParticleSystem() {
  // An emitter shared with another system must not keep pointing here.
  if (emitter_ && emitter_->GetNode() == this) emitter_->SetNode(nullptr);
}

// ---------------------------------------------------------------------------
// The pool

Particle* ParticleSystem::NewRecord() {
  if (free_ != nullptr) {
    Particle* particle = free_;
    free_ = particle->next;
    return particle;
  }
  records_.emplace_back();
  return &records_.back();
}

void ParticleSystem::Reset() {
  while (live_ != nullptr) {
    Particle* next = live_->next;
    live_->next = free_;
    free_ = live_;
    live_ = next;
  }
  liveCount_ = 0;
  accumulator_ = 0.0;
  timeToNextBurst_ = 0.0;
}

void ParticleSystem::SetMaximumParticles(int32_t maximum) {
  maximumParticles_ = std::clamp(maximum, 0, kMaxParticleCount);
  Reset();
  AllocateBuffers();
}

void ParticleSystem::SetEmitter(Emitter* emitter) {
  if (emitter_ && emitter_->GetNode() == this) emitter_->SetNode(nullptr);
  emitter_ = emitter;
  if (emitter_) emitter_->SetNode(this);
}

// ---------------------------------------------------------------------------
// The update

void ParticleSystem::MoveParticles(float dt) {
  Particle** link = &live_;
  while (Particle* particle = *link) {
    particle->age += dt;
    if (particle->age > particle->lifetime) {
      *link = particle->next;
      particle->next = free_;
      free_ = particle;
      --liveCount_;
      continue;
    }
    const float f = particle->lifetime > 0.0f ? particle->age / particle->lifetime : 1.0f;
    particle->velocity = particle->velocity + particle->acceleration * dt;
    particle->position = particle->position + particle->velocity * dt;
    particle->size = particle->birthSize + f * (particle->deathSize - particle->birthSize);
    particle->color = Mix(particle->birthColor, particle->deathColor, f);
    link = &particle->next;
  }
}

void ParticleSystem::Emit() {
  Particle* particle = NewRecord();
  Vector3 position{0, 0, 0}, direction{0, 1, 0};
  if (emitter_) {
    // An emitter two systems share emits for the one asking.
    emitter_->SetNode(this);
    emitter_->Emit(&position, &direction);
  }
  particle->position = position;
  particle->velocity = direction * Jittered(speed, speedJitter);
  particle->acceleration = Vector3{Jittered(acceleration.x, accelerationJitter.x),
                                   Jittered(acceleration.y, accelerationJitter.y),
                                   Jittered(acceleration.z, accelerationJitter.z)};
  particle->age = 0.0f;
  particle->birthColor = JitteredColor(birthColor, birthColorJitter);
  particle->color = particle->birthColor;
  particle->deathColor = JitteredColor(deathColor, deathColorJitter);
  particle->birthSize = Jittered(birthSize, birthSizeJitter);
  particle->size = particle->birthSize;
  particle->deathSize = Jittered(deathSize, deathSizeJitter);
  particle->lifetime = Jittered(lifetime, lifetimeJitter);
  OnBirth(*particle);
  particle->next = live_;
  live_ = particle;
  ++liveCount_;
}

void ParticleSystem::Burst() {
  int32_t count = particlesPerBurst;
  if (burstJitter >= 1) count += Random15() % (2 * burstJitter) - burstJitter;
  for (int32_t made = 0; made < count && liveCount_ < maximumParticles_; ++made) Emit();
}

void ParticleSystem::Update(double elapsed) {
  GeometryNode::Update(elapsed);
  const float dt = static_cast<float>(elapsed);
  MoveParticles(dt);
  if (stopped_) return;
  accumulator_ += elapsed;
  // A burst whenever the accumulated time passes the time to the next one.
  // An interval of 0 or less (a jitter above the interval) would never use
  // up the time: then one burst an update.
  for (int32_t bursts = 0; accumulator_ > timeToNextBurst_; ++bursts) {
    if (bursts == kMaxBurstsPerUpdate) {
      accumulator_ = 0.0;
      break;
    }
    accumulator_ -= timeToNextBurst_;
    timeToNextBurst_ = Jittered(emissionInterval, intervalJitter);
    Burst();
    if (timeToNextBurst_ <= 0.0) {
      accumulator_ = 0.0;
      break;
    }
  }
}

void ParticleSystem::UpdateWorldBound() {
  BoundingVolume* bound = GetWorldBound();
  if (bound == nullptr || bound->GetType() != kSphereVolumeType) return;
  auto* sphere = static_cast<SphereBoundingVolume*>(bound);
  if (live_ == nullptr) {
    sphere->Set(GetWorldTransform().translation, 0.0f);
    return;
  }
  Vector3 low = live_->position, high = live_->position;
  float largest = 0.0f;
  for (const Particle* p = live_; p != nullptr; p = p->next) {
    low = Vector3{std::min(low.x, p->position.x), std::min(low.y, p->position.y), std::min(low.z, p->position.z)};
    high = Vector3{std::max(high.x, p->position.x), std::max(high.y, p->position.y), std::max(high.z, p->position.z)};
    largest = std::max(largest, std::fabs(p->size));
  }
  const Vector3 centre = (low + high) * 0.5f;
  const Vector3 half = (high - low) * 0.5f;
  sphere->Set(centre, std::sqrt(half.Dot(half)) + largest);
}

// ---------------------------------------------------------------------------
// Links, save and load

Object* ParticleSystem::FindByName(const String& name) {
  if (Object* found = GeometryNode::FindByName(name)) return found;
  return emitter_ ? emitter_->FindByName(name) : nullptr;
}

void ParticleSystem::CollectByType(const RTTI& type, Array<Object*>& found) {
  GeometryNode::CollectByType(type, found);
  if (emitter_) emitter_->CollectByType(type, found);
}

void ParticleSystem::VisitLinks(const LinkVisitor& visit) const {
  GeometryNode::VisitLinks(visit);
  visit(emitter_.Get());
}

ParticleSystem::GeneratedBuffers ParticleSystem::TakeGeneratedBuffers() {
  GeneratedBuffers taken{vertices_, pointSizes_, colors_, texCoords_[0], indices_};
  vertices_ = nullptr;
  pointSizes_ = nullptr;
  colors_ = nullptr;
  texCoords_[0] = nullptr;
  indices_ = nullptr;
  return taken;
}

void ParticleSystem::PutBackGeneratedBuffers(GeneratedBuffers& buffers) {
  vertices_ = buffers.vertices;
  pointSizes_ = buffers.pointSizes;
  colors_ = buffers.colors;
  texCoords_[0] = buffers.texCoords;
  indices_ = buffers.indices;
}

int ParticleSystem::Save(MemoryStream& stream) {
  // The generated vertices are never written to the file.
  GeneratedBuffers generated = TakeGeneratedBuffers();
  const int base = GeometryNode::Save(stream);
  PutBackGeneratedBuffers(generated);
  if (base != kOk) return kFailed;
  stream.WriteInt32(maximumParticles_);
  stream.WriteFloat(emissionInterval);
  stream.WriteFloat(intervalJitter);
  stream.WriteInt32(particlesPerBurst);
  stream.WriteInt32(burstJitter);
  stream.WriteColor(birthColor);
  stream.WriteColor(birthColorJitter);
  stream.WriteColor(deathColor);
  stream.WriteColor(deathColorJitter);
  stream.WriteFloat(speed);
  stream.WriteFloat(speedJitter);
  stream.WriteVector3(acceleration);
  stream.WriteVector3(accelerationJitter);
  stream.WriteFloat(lifetime);
  stream.WriteFloat(lifetimeJitter);
  stream.WriteFloat(birthSize);
  stream.WriteFloat(birthSizeJitter);
  stream.WriteFloat(deathSize);
  stream.WriteFloat(deathSizeJitter);
  if (stream.GetError() != kOk) {
    LogError(kSaveMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(emitter_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить эмиттер системы частиц. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int ParticleSystem::Load(MemoryStream& stream) {
  if (GeometryNode::Load(stream) != kOk) return kFailed;
  int32_t maximum = 0;
  const bool ok = stream.ReadInt32(maximum) == kOk && stream.ReadFloat(emissionInterval) == kOk &&
                  stream.ReadFloat(intervalJitter) == kOk && stream.ReadInt32(particlesPerBurst) == kOk &&
                  stream.ReadInt32(burstJitter) == kOk && stream.ReadColor(birthColor) == kOk &&
                  stream.ReadColor(birthColorJitter) == kOk && stream.ReadColor(deathColor) == kOk &&
                  stream.ReadColor(deathColorJitter) == kOk && stream.ReadFloat(speed) == kOk &&
                  stream.ReadFloat(speedJitter) == kOk && stream.ReadVector3(acceleration) == kOk &&
                  stream.ReadVector3(accelerationJitter) == kOk && stream.ReadFloat(lifetime) == kOk &&
                  stream.ReadFloat(lifetimeJitter) == kOk && stream.ReadFloat(birthSize) == kOk &&
                  stream.ReadFloat(birthSizeJitter) == kOk && stream.ReadFloat(deathSize) == kOk &&
                  stream.ReadFloat(deathSizeJitter) == kOk;
  // Counts past the bound would ask for gigabytes of vertices, or hang in
  // one burst: the file is refused.
  if (!ok || maximum > kMaxParticleCount || particlesPerBurst > kMaxParticleCount ||
      burstJitter > kMaxParticleCount) {
    LogError(kLoadMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  emissionInterval = std::max(Finite(emissionInterval), 0.0f);
  intervalJitter = std::max(Finite(intervalJitter), 0.0f);
  particlesPerBurst = std::max(particlesPerBurst, 0);
  burstJitter = std::max(burstJitter, 0);
  speed = Finite(speed);
  speedJitter = std::max(Finite(speedJitter), 0.0f);
  lifetime = std::max(Finite(lifetime), 0.0f);
  lifetimeJitter = std::max(Finite(lifetimeJitter), 0.0f);
  birthSize = std::max(Finite(birthSize), 0.0f);
  birthSizeJitter = std::max(Finite(birthSizeJitter), 0.0f);
  deathSize = std::max(Finite(deathSize), 0.0f);
  deathSizeJitter = std::max(Finite(deathSizeJitter), 0.0f);
  Emitter* emitter = nullptr;
  if (stream.ReadObjectOf(emitter) != kOk || ClosesLoop(this, emitter)) {
    LogError(KLX_TEXT("Невозможно загрузить эмиттер системы частиц. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  SetEmitter(emitter);
  SetMaximumParticles(maximum);
  return kOk;
}

// ---------------------------------------------------------------------------
// Node particles

void NodeParticleSystem::VisitLinks(const LinkVisitor& visit) const {
  ParticleSystem::VisitLinks(visit);
  visit(drawn_.Get());
}

int NodeParticleSystem::Save(MemoryStream& stream) {
  if (ParticleSystem::Save(stream) != kOk) return kFailed;
  if (stream.WriteObject(drawn_.Get()) != kOk) {
    LogError(kSaveMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int NodeParticleSystem::Load(MemoryStream& stream) {
  if (ParticleSystem::Load(stream) != kOk) return kFailed;
  Node* node = nullptr;
  if (stream.ReadObjectOf(node) != kOk || ClosesLoop(this, node)) {
    LogError(kLoadMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  drawn_ = node;
  return kOk;
}

void NodeParticleSystem::DrawSelf(DrawContext* context) {
  if (!drawn_ || context == nullptr) return;
  Node& node = *drawn_;
  const Transform saved = node.GetLocalTransform();
  const bool savedUpdate = node.GetWorldTransformUpdate();
  auto* geometry = DynamicCast<GeometryNode>(&node);
  auto* effect = geometry != nullptr ? dynamic_cast<GeometryEffectInterface*>(geometry->GetEffect()) : nullptr;
  Color savedColor;
  const bool coloured = effect != nullptr && effect->GetEffectColor(&savedColor);
  for (const Particle* p = GetFirstParticle(); p != nullptr; p = p->next) {
    Transform& local = node.LocalTransform();
    local.translation = p->position;
    local.scale = Vector3{p->size, p->size, p->size};
    local.isIdentity = false;
    node.SetWorldTransformUpdate(true);
    node.UpdateWorldTransform();
    if (coloured) effect->SetEffectColor(p->color);
    node.UpdateWorldBound();
    node.Draw(context);
  }
  if (coloured) effect->SetEffectColor(savedColor);
  node.LocalTransform() = saved;
  node.SetWorldTransformUpdate(true);
  node.UpdateWorldTransform();
  node.UpdateWorldBound();
  node.SetWorldTransformUpdate(savedUpdate);
}

}  // namespace klx
