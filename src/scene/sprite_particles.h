#pragma once
// Particles drawn as sprites: each particle a point sprite where the
// device draws them, otherwise a quad of two triangles facing the camera.
// Foliage is a sprite system whose particles stay where they were born and
// sway in its effect's wind; a flare is one sprite at its node.

#include <cstdint>

#include "scene/particle_system.h"

namespace klx {

// Six corners of a camera-facing quad of `size` round `centre`, the screen
// axes being `right` and `up`, as two triangles; and their texture
// coordinates.
void WriteSpriteQuad(const Vector3& centre, float size, const Vector3& right, const Vector3& up, Vector3* corners);
extern const Vector2 kSpriteQuadTexCoords[6];

// Whether what draws the scene now draws point sprites.
bool ScreenDrawsPointSprites();

class SpriteParticleSystem : public ParticleSystem {
  KLX_DECLARE_CLASS(SpriteParticleSystem)

 public:
  explicit SpriteParticleSystem(const String& name) : ParticleSystem(name) {}
  // Points with point sprites, else triangles.
  int32_t GetPrimitiveType() const override { return pointBuffers_ ? kPrimitivePoints : kPrimitiveTriangles; }
  // The particle update, then the buffers are written.
  void Update(double elapsed) override;

 protected:
  // Buffers for the maximum count in the current drawing mode.
  void AllocateBuffers() override;
  void DrawPrimitivesOf(DrawContext* context, int32_t vertexCount, int32_t indexCount) override;
  // Positions, colours (and sizes) of the live particles, newest first.
  void WriteBuffers();

 private:
  bool pointBuffers_ = false;
  bool allocated_ = false;
};

class Foliage : public SpriteParticleSystem {
  KLX_DECLARE_CLASS(Foliage)

 public:
  explicit Foliage(const String& name) : SpriteParticleSystem(name) {}

  // The per-degree sway: one value in [-1, 1] for each whole degree.
  static float Sway(int32_t degree);

 protected:
  // Ages and kills as any system; the living sway about where they were
  // born, by the wind of the foliage's effect.
  void MoveParticles(float dt) override;
  void OnBirth(Particle& particle) override;
};

class Flare : public GeometryNode {
  KLX_DECLARE_CLASS(Flare)

 public:
  explicit Flare(const String& name) : GeometryNode(name) {}
  int32_t GetPrimitiveType() const override { return pointBuffers_ ? kPrimitivePoints : kPrimitiveTriangles; }
  // The node's update and its effect's, then the sprite at its world
  // position.
  void Update(double elapsed) override;
  void UpdateWorldBound() override;
  // After the geometry data (without the generated buffers): the colour,
  // then the size (clamped to at least 0 on load).
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  Color color{1, 1, 1, 1};
  float size = 1.0f;

 protected:
  void DrawPrimitivesOf(DrawContext* context, int32_t vertexCount, int32_t indexCount) override;

 private:
  bool pointBuffers_ = false;
  bool allocated_ = false;
};

}  // namespace klx
