#pragma once
// Particle systems: geometry whose vertices are made anew every frame from
// a pool of live particles. The emitter says where a particle starts and
// which way it flies; the system says how many are born in each burst, how
// long they live and how their velocity, colour and size change. Particle
// positions are in world space. The records of dead particles are kept on
// a free list and used again before new ones are made.

#include <cstdint>
#include <deque>

#include "core/math_types.h"
#include "core/ref_counted.h"
#include "scene/emitter.h"
#include "scene/geometry_node.h"

namespace klx {

struct Particle {
  Vector3 position, velocity, acceleration;
  Color color, birthColor, deathColor;
  float size = 0, birthSize = 0, deathSize = 0;
  float lifetime = 0, age = 0;
  // Foliage: where the particle rests, which way it sways and its phase.
  Vector3 rest, sway;
  float phase = 0;
  Particle* next = nullptr;
};

class ParticleSystem : public GeometryNode {
  KLX_DECLARE_CLASS(ParticleSystem)

 public:
  // The largest maximum particle count and particles per burst a file may
  // ask for: far above any real system (a fire has a few hundred), far
  // below what would exhaust memory (six vertices of 36 bytes a particle).
  static constexpr int32_t kMaxParticleCount = 100000;
  // Bursts one update may make: after a long pause the backlog is dropped.
  static constexpr int32_t kMaxBurstsPerUpdate = 64;

  explicit ParticleSystem(const String& name);
  ~ParticleSystem() override;

  // After the geometry data (without the generated buffers): the fields
  // below in their order, then the emitter.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // The node's update, then the particles age and move, then new ones are
  // born.
  void Update(double elapsed) override;
  // The sphere around the live particles (they are in world space).
  void UpdateWorldBound() override;

  // Kills every particle (their records go to the free list) and restarts
  // the burst clock.
  void Reset();
  void SetMaximumParticles(int32_t maximum);
  void SetEmitter(Emitter* emitter);
  Emitter* GetEmitter() const { return emitter_.Get(); }
  void SetStopped(bool stopped) { stopped_ = stopped; }
  bool IsStopped() const { return stopped_; }

  int32_t GetMaximumParticles() const { return maximumParticles_; }
  int32_t GetLiveCount() const { return liveCount_; }
  // The records made so far, live and free.
  int32_t GetRecordCount() const { return static_cast<int32_t>(records_.size()); }
  const Particle* GetFirstParticle() const { return live_; }

  float emissionInterval = 0.1f;
  float intervalJitter = 0.0f;
  int32_t particlesPerBurst = 1;
  int32_t burstJitter = 0;
  Color birthColor{1, 1, 1, 1}, birthColorJitter{0, 0, 0, 0};
  Color deathColor{1, 1, 1, 0}, deathColorJitter{0, 0, 0, 0};
  float speed = 1.0f, speedJitter = 0.0f;
  Vector3 acceleration{0, 0, 0}, accelerationJitter{0, 0, 0};
  float lifetime = 1.0f, lifetimeJitter = 0.0f;
  float birthSize = 1.0f, birthSizeJitter = 0.0f;
  float deathSize = 1.0f, deathSizeJitter = 0.0f;

 protected:
  // The buffers a sprite system makes for the maximum count; nothing here.
  virtual void AllocateBuffers() {}
  // A particle was just born (its fields set from the system's).
  virtual void OnBirth(Particle& particle) { (void)particle; }
  // Ages, moves and kills the live particles.
  virtual void MoveParticles(float dt);
  Particle* FirstParticle() { return live_; }
  // The generated buffers, taken off while the geometry data is saved.
  struct GeneratedBuffers {
    Ref<Buffer> vertices, pointSizes, colors, texCoords;
    Ref<IntBuffer> indices;
  };
  GeneratedBuffers TakeGeneratedBuffers();
  void PutBackGeneratedBuffers(GeneratedBuffers& buffers);

 private:
  void Emit();
  void Burst();
  Particle* NewRecord();

  int32_t maximumParticles_ = 100;
  Ref<Emitter> emitter_;
  std::deque<Particle> records_;
  Particle* live_ = nullptr;
  Particle* free_ = nullptr;
  int32_t liveCount_ = 0;
  double accumulator_ = 0.0;
  double timeToNextBurst_ = 0.0;
  bool stopped_ = false;
};

// Draws a node once at each particle: moved to the particle, scaled by its
// size and, when its effect is a colour effect, coloured by it.
class NodeParticleSystem : public ParticleSystem {
  KLX_DECLARE_CLASS(NodeParticleSystem)

 public:
  explicit NodeParticleSystem(const String& name) : ParticleSystem(name) {}
  int32_t GetPrimitiveType() const override { return kPrimitivePoints; }
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  void DrawSelf(DrawContext* context) override;

  Node* GetDrawnNode() const { return drawn_.Get(); }
  void SetDrawnNode(Node* node) { drawn_ = node; }

 private:
  Ref<Node> drawn_;
};

}  // namespace klx
