// Particle systems with a fixed seed: bursts with and without jitter, the
// maximum never passed, a particle's last frame, the free list used again,
// emission cones and their load clamps, the stored form without generated
// vertices, hostile counts refused, points against quads, foliage swaying
// by its effect's wind, and the flare's quad round its position.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "core/cp1251.h"
#include "core/memory_stream.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "support/stream_bytes.h"
#include "support/test_screen.h"

namespace klx {
namespace {

// The screen as particle systems see it: whether it draws point sprites,
// and the draws asked of it.
class SpriteScreen : public test::TestScreen {
 public:
  bool DrawsPointSprites() const override { return pointSprites; }
  void DrawPrimitives(int32_t kind, int32_t count) override { draws.push_back({kind, count}); }
  bool pointSprites = false;
  std::vector<std::pair<int32_t, int32_t>> draws;
};

// An effect of one pass with a wind, for drawing and for foliage.
class OnePassEffect : public Object, public GeometryEffectInterface {
 public:
  OnePassEffect() : Object(String("one pass")) {}
  bool IsEnabled() const override { return true; }
  bool IsBlended() const override { return false; }
  int32_t GetPassCount() override { return 1; }
  int ApplyPass(int32_t, DrawContext*) override { return kOk; }
  void UpdateEffect(double elapsed) override { clock += elapsed; }
  void InvalidateEffectPasses() override {}
  bool GetWind(float* a, float* s, double* t) const override {
    *a = amplitude;
    *s = speed;
    *t = clock;
    return true;
  }
  float amplitude = 0.0f, speed = 1.0f;
  double clock = 0.0;
};

// A colour effect as far as the node particle system can tell, counting
// the draws of its geometry and the colour each was drawn in.
class ColourCountingEffect : public OnePassEffect {
 public:
  bool GetEffectColor(Color* color) const override {
    *color = colour;
    return true;
  }
  void SetEffectColor(const Color& color) override { colour = color; }
  int ApplyPass(int32_t, DrawContext*) override {
    drawnIn.push_back(colour);
    return kOk;
  }
  Color colour{0.1f, 0.2f, 0.3f, 1};
  std::vector<Color> drawnIn;
};

class Particles : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    std::srand(7);
  }
  // A system that bursts every 0.1 s from a point emitter at the origin.
  static Ref<SpriteParticleSystem> System(int32_t maximum, int32_t perBurst, int32_t jitter) {
    Ref<SpriteParticleSystem> system(new SpriteParticleSystem(String("sparks")));
    system->emissionInterval = 0.1f;
    system->particlesPerBurst = perBurst;
    system->burstJitter = jitter;
    system->lifetime = 100.0f;
    system->SetEmitter(Ref<PointEmitter>(new PointEmitter(String("point"))).Get());
    system->SetMaximumParticles(maximum);
    return system;
  }
  SpriteScreen screen_;
};

TEST_F(Particles, BurstsMakeTheirCountWithinTheJitterAndNeverPassTheMaximum) {
  // The first update bursts at once (the burst clock starts at 0); then
  // one burst every 0.1 s.
  Ref<SpriteParticleSystem> exact = System(1000, 5, 0);
  exact->Update(0.05);
  EXPECT_EQ(exact->GetLiveCount(), 5);
  for (int burst = 2; burst <= 10; ++burst) {
    exact->Update(0.1);
    EXPECT_EQ(exact->GetLiveCount(), 5 * burst);
  }
  // With a jitter of 3 a burst makes 2 to 7 (rand mod 6, less 3, plus 5).
  Ref<SpriteParticleSystem> jittered = System(100000, 5, 3);
  std::set<int32_t> counts;
  int32_t before = 0;
  for (int burst = 0; burst < 200; ++burst) {
    jittered->Update(burst == 0 ? 0.05 : 0.1);
    const int32_t made = jittered->GetLiveCount() - before;
    before = jittered->GetLiveCount();
    EXPECT_GE(made, 2);
    EXPECT_LE(made, 7);
    counts.insert(made);
  }
  EXPECT_EQ(counts.size(), 6u);
  // The maximum holds however long the bursts go on.
  Ref<SpriteParticleSystem> capped = System(12, 5, 2);
  for (int frame = 0; frame < 100; ++frame) {
    capped->Update(0.1001);
    ASSERT_LE(capped->GetLiveCount(), 12);
  }
  EXPECT_EQ(capped->GetLiveCount(), 12);
}

TEST_F(Particles, AnIntervalOfZeroOrLessBurstsOnceAnUpdate) {
  Ref<SpriteParticleSystem> system = System(100000, 1, 0);
  system->emissionInterval = 0.0f;
  for (int frame = 1; frame <= 5; ++frame) {
    system->Update(0.05);
    EXPECT_EQ(system->GetLiveCount(), frame);
  }
  // A jitter larger than the interval gives negative times to the next
  // burst: still at most one burst an update then, never a hang.
  system->emissionInterval = 0.01f;
  system->intervalJitter = 1.0f;
  for (int frame = 0; frame < 200; ++frame) {
    const int32_t before = system->GetLiveCount();
    system->Update(0.02);
    EXPECT_LE(system->GetLiveCount() - before, ParticleSystem::kMaxBurstsPerUpdate);
  }
  // A long pause makes at most the capped number of bursts, then goes on
  // at the usual rate.
  Ref<SpriteParticleSystem> paused = System(100000, 1, 0);
  paused->Update(3600.0);
  EXPECT_EQ(paused->GetLiveCount(), ParticleSystem::kMaxBurstsPerUpdate);
  paused->Update(0.1001);
  EXPECT_EQ(paused->GetLiveCount(), ParticleSystem::kMaxBurstsPerUpdate + 1);
}

TEST_F(Particles, AParticleLivesThroughTheFrameItsAgeReachesItsLifetime) {
  Ref<SpriteParticleSystem> system = System(10, 1, 0);
  system->emissionInterval = 1000.0f;
  system->lifetime = 1.0f;
  system->birthSize = 2.0f;
  system->deathSize = 4.0f;
  system->Update(0.25);  // born
  ASSERT_EQ(system->GetLiveCount(), 1);
  system->Update(0.5);
  EXPECT_FLOAT_EQ(system->GetFirstParticle()->size, 3.0f);  // half way
  system->Update(0.5);
  ASSERT_EQ(system->GetLiveCount(), 1);  // age 1.0 = lifetime
  EXPECT_FLOAT_EQ(system->GetFirstParticle()->size, 4.0f);
  system->Update(0.001);
  EXPECT_EQ(system->GetLiveCount(), 0);
}

TEST_F(Particles, DeadParticlesRecordsAreUsedAgain) {
  Ref<SpriteParticleSystem> system = System(50, 5, 0);
  system->lifetime = 0.45f;
  for (int frame = 0; frame < 20; ++frame) system->Update(0.1001);
  const int32_t records = system->GetRecordCount();
  EXPECT_LE(records, 50);
  for (int frame = 0; frame < 200; ++frame) system->Update(0.1001);
  EXPECT_EQ(system->GetRecordCount(), records) << "steady state makes no new records";
  EXPECT_GT(system->GetLiveCount(), 0);
}

TEST_F(Particles, EmittedDirectionsStayInTheirCone) {
  Ref<PointEmitter> emitter(new PointEmitter(String("cone")));
  emitter->SetAngles(0.3f, 0.6f);
  float narrowest = 10.0f, widest = 0.0f;
  for (int i = 0; i < 2000; ++i) {
    Vector3 position, direction;
    emitter->Emit(&position, &direction);
    EXPECT_NEAR(std::sqrt(direction.Dot(direction)), 1.0f, 1e-5f);
    const float theta = std::acos(std::clamp(direction.y, -1.0f, 1.0f));
    narrowest = std::min(narrowest, theta);
    widest = std::max(widest, theta);
  }
  EXPECT_GE(narrowest, 0.3f - 1e-4f);
  EXPECT_LE(widest, 0.6f + 1e-4f);
  EXPECT_LT(narrowest, 0.32f);
  EXPECT_GT(widest, 0.58f);
  // The node turns the cone: +y becomes +x after a quarter turn about -z.
  Ref<SceneNode> holder(new SceneNode(String("holder")));
  SetRotation(holder->LocalTransform(), Quaternion::FromAxisAngle(Vector3{0, 0, -1}, 1.5707964f));
  SetTranslation(holder->LocalTransform(), Vector3{5, 0, 0});
  holder->UpdateGeometricState(0.0, false);
  emitter->SetAngles(0.0f, 0.0f);
  emitter->SetNode(holder.Get());
  Vector3 position, direction;
  emitter->Emit(&position, &direction);
  EXPECT_NEAR(position.x, 5.0f, 1e-5f);
  EXPECT_NEAR(direction.x, 1.0f, 1e-5f);
  emitter->SetNode(nullptr);
}

// Stores an emitter with the two angles as written, and loads it back.
Ref<PointEmitter> LoadedAngles(float maximum, float minimum) {
  Ref<PointEmitter> emitter(new PointEmitter(String("angles")));
  MemoryStream stream(1024, 1024);
  EXPECT_EQ(stream.WriteObject(emitter.Get()), kOk);
  const int32_t size = stream.GetPosition();
  // The two angles end the stored form.
  stream.SetPosition(size - 8);
  stream.WriteFloat(maximum);
  stream.WriteFloat(minimum);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  EXPECT_EQ(stream.ReadObject(loaded), kOk);
  return Ref<PointEmitter>(DynamicCast<PointEmitter>(loaded));
}

TEST_F(Particles, LoadedConeAnglesAreClamped) {
  Ref<PointEmitter> low = LoadedAngles(0.2f, 0.5f);  // maximum below the minimum
  EXPECT_FLOAT_EQ(low->GetMaximumAngle(), 0.5f);
  EXPECT_FLOAT_EQ(low->GetMinimumAngle(), 0.5f);
  Ref<PointEmitter> negative = LoadedAngles(1.0f, -0.5f);
  EXPECT_FLOAT_EQ(negative->GetMaximumAngle(), 1.0f);
  EXPECT_FLOAT_EQ(negative->GetMinimumAngle(), 0.0f);
  Ref<PointEmitter> both = LoadedAngles(-1.0f, -2.0f);
  EXPECT_FLOAT_EQ(both->GetMaximumAngle(), 0.0f);
  EXPECT_FLOAT_EQ(both->GetMinimumAngle(), 0.0f);
}

int32_t StoredSize(Object* object) {
  MemoryStream stream(1 << 16, 1 << 16);
  EXPECT_EQ(stream.WriteObject(object), kOk);
  return stream.GetPosition();
}

TEST_F(Particles, TheStoredFormHasNoGeneratedVerticesAndLoadsBack) {
  Ref<SpriteParticleSystem> system = System(500, 50, 0);
  system->speed = 2.5f;
  system->acceleration = Vector3{0, -9.8f, 0};
  system->Update(0.0);
  const int32_t empty = StoredSize(system.Get());
  for (int frame = 0; frame < 10; ++frame) system->Update(0.1001);
  ASSERT_EQ(system->GetLiveCount(), 500);
  EXPECT_EQ(StoredSize(system.Get()), empty);
  // The buffers are back after the save.
  EXPECT_NE(system->GetVertexBuffer(), nullptr);

  MemoryStream stream(1 << 16, 1 << 16);
  ASSERT_EQ(stream.WriteObject(system.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<SpriteParticleSystem> copy(DynamicCast<SpriteParticleSystem>(loaded));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetMaximumParticles(), 500);
  EXPECT_EQ(copy->particlesPerBurst, 50);
  EXPECT_FLOAT_EQ(copy->speed, 2.5f);
  EXPECT_FLOAT_EQ(copy->acceleration.y, -9.8f);
  EXPECT_EQ(copy->GetLiveCount(), 0);
  ASSERT_NE(DynamicCast<PointEmitter>(copy->GetEmitter()), nullptr);
  EXPECT_EQ(copy->GetEmitter()->GetNode(), copy.Get());
}

TEST_F(Particles, HostileCountsFailTheLoadWithTheMessage) {
  for (int field = 0; field < 3; ++field) {
    Ref<SpriteParticleSystem> system = System(10, 1, 0);
    std::vector<uint8_t> bytes = test::StoredBytes(system.Get());
    ASSERT_FALSE(bytes.empty());
    // From the end: the emitter (a whole object), then 4 colours, 16
    // floats... find the maximum (10), the interval (0.1) and the burst
    // count (1) as the first run of them.
    const float interval = 0.1f;
    uint8_t pattern[16];
    const int32_t ten = 10, one = 1;
    std::memcpy(pattern, &ten, 4);
    std::memcpy(pattern + 4, &interval, 4);
    std::memset(pattern + 8, 0, 4);
    std::memcpy(pattern + 12, &one, 4);
    auto at = std::search(bytes.begin(), bytes.end(), pattern, pattern + 16);
    ASSERT_NE(at, bytes.end());
    const int32_t hostile = 0x7FFFFFFF;
    const size_t offset = static_cast<size_t>(at - bytes.begin()) + (field == 0 ? 0 : field == 1 ? 12 : 16);
    std::memcpy(&bytes[offset], &hostile, 4);
    EXPECT_NE(test::ReadStoredBytes(bytes, nullptr), kOk) << field;
    bool logged = false;
    for (const auto& line : log_->lines) {
      logged = logged || line.text.rfind(Utf8ToCp1251("Невозможно загрузить данные системы частиц."), 0) == 0;
    }
    EXPECT_TRUE(logged) << field;
  }
}

TEST_F(Particles, QuadsDrawTwoTrianglesAParticleAndSpritesOnePoint) {
  for (bool sprites : {false, true}) {
    screen_.pointSprites = sprites;
    screen_.draws.clear();
    Ref<SpriteParticleSystem> system = System(100, 7, 0);
    Ref<OnePassEffect> effect(new OnePassEffect());
    ASSERT_EQ(system->SetEffect(effect.Get()), kOk);
    system->Update(0.05);
    ASSERT_EQ(system->GetLiveCount(), 7);
    system->DrawSelf(&screen_);
    ASSERT_EQ(screen_.draws.size(), 1u);
    EXPECT_EQ(screen_.draws[0].first, sprites ? kPrimitivePoints : kPrimitiveTriangles);
    EXPECT_EQ(screen_.draws[0].second, sprites ? 7 : 14);
    EXPECT_EQ(system->GetVertexBuffer()->GetCount(), sprites ? 100 : 600);
    EXPECT_EQ(system->GetPointSizeBuffer() != nullptr, sprites);
  }
}

TEST_F(Particles, TheQuadPathWritesCameraFacingQuadsRoundEachParticle) {
  Ref<Camera> camera(new Camera(String("camera")));
  camera->UpdateGeometricState(0.0, false);
  screen_.SetCamera(camera.Get());
  Ref<SpriteParticleSystem> system = System(10, 1, 0);
  system->birthSize = system->deathSize = 2.0f;
  system->speed = 0.0f;
  system->Update(0.05);
  ASSERT_EQ(system->GetLiveCount(), 1);
  const Vector3* corners = static_cast<Vector3Buffer*>(system->GetVertexBuffer())->Elements();
  const Vector3 right = camera->GetRight(), up = camera->GetUp();
  Vector3 centre{0, 0, 0};
  for (int i = 0; i < 6; ++i) {
    centre = centre + corners[i] * (1.0f / 6.0f);
    // Every corner lies in the screen's plane, a half diagonal out.
    const Vector3 d = corners[i];
    EXPECT_NEAR(d.Dot(camera->GetDirection()), 0.0f, 1e-5f);
    EXPECT_NEAR(std::sqrt(d.Dot(d)), 1.0f, 1e-5f);
  }
  EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
  EXPECT_NEAR(centre.y, 0.0f, 1e-5f);
  // The first corner is down and left, the fifth up and right.
  EXPECT_LT(corners[0].Dot(right), 0.0f);
  EXPECT_LT(corners[0].Dot(up), 0.0f);
  EXPECT_GT(corners[4].Dot(right), 0.0f);
  EXPECT_GT(corners[4].Dot(up), 0.0f);
}

TEST_F(Particles, AFlaresQuadIsCentredOnItsWorldPosition) {
  Ref<Camera> camera(new Camera(String("camera")));
  SetRotation(camera->LocalTransform(), Quaternion::FromAxisAngle(Vector3{0, 1, 0}, 0.7f));
  camera->UpdateGeometricState(0.0, false);
  screen_.SetCamera(camera.Get());
  Ref<SceneNode> parent(new SceneNode(String("car")));
  SetTranslation(parent->LocalTransform(), Vector3{10, 2, -3});
  Ref<Flare> flare(new Flare(String("headlight")));
  SetTranslation(flare->LocalTransform(), Vector3{1, 0, 0});
  flare->size = 3.0f;
  flare->color = Color{1, 0.9f, 0.6f, 1};
  ASSERT_EQ(parent->AttachChild(flare.Get()), kOk);
  parent->UpdateGeometricState(0.0, false);
  auto* corners = DynamicCast<Vector3Buffer>(flare->GetVertexBuffer());
  ASSERT_NE(corners, nullptr);
  ASSERT_EQ(corners->GetCount(), 6);
  Vector3 centre{0, 0, 0};
  for (int i = 0; i < 6; ++i) centre = centre + corners->Elements()[i] * (1.0f / 6.0f);
  EXPECT_NEAR(centre.x, 11.0f, 1e-4f);
  EXPECT_NEAR(centre.y, 2.0f, 1e-4f);
  EXPECT_NEAR(centre.z, -3.0f, 1e-4f);
  EXPECT_FLOAT_EQ(static_cast<ColorBuffer*>(flare->GetColorBuffer())->Elements()[5].g, 0.9f);
  // With point sprites: one point at the position, of the flare's size.
  screen_.pointSprites = true;
  parent->UpdateGeometricState(0.0, false);
  ASSERT_EQ(flare->GetVertexBuffer()->GetCount(), 1);
  EXPECT_NEAR(static_cast<Vector3Buffer*>(flare->GetVertexBuffer())->Elements()[0].x, 11.0f, 1e-5f);
  EXPECT_FLOAT_EQ(static_cast<FloatBuffer*>(flare->GetPointSizeBuffer())->Elements()[0], 3.0f);
}

TEST_F(Particles, FoliageSwaysAboutWhereItWasBornByItsEffectsWind) {
  Ref<Foliage> leaves(new Foliage(String("leaves")));
  leaves->emissionInterval = 1000.0f;
  leaves->particlesPerBurst = 20;
  leaves->lifetime = 1e6f;
  leaves->speed = 1.0f;
  Ref<SphereVolumeEmitter> crown(new SphereVolumeEmitter(String("crown")));
  crown->SetRadius(2.0f);
  leaves->SetEmitter(crown.Get());
  leaves->SetMaximumParticles(20);
  Ref<OnePassEffect> wind(new OnePassEffect());
  wind->amplitude = 0.0f;
  ASSERT_EQ(leaves->SetEffect(wind.Get()), kOk);
  leaves->Update(0.01);
  ASSERT_EQ(leaves->GetLiveCount(), 20);
  std::vector<Vector3> rest;
  for (const Particle* p = leaves->GetFirstParticle(); p != nullptr; p = p->next) {
    rest.push_back(p->position);
    EXPECT_LE(std::sqrt(p->position.Dot(p->position)), 2.0f + 1e-4f);
  }
  // Without wind they stay; with it each moves along its own sway
  // direction by amplitude × the table's value, and never drifts.
  wind->amplitude = 0.5f;
  float farthest = 0.0f, moved = 0.0f;
  for (int frame = 0; frame < 400; ++frame) {
    leaves->Update(0.05);
    size_t i = 0;
    for (const Particle* p = leaves->GetFirstParticle(); p != nullptr; p = p->next, ++i) {
      const Vector3 d = p->position - rest[i];
      farthest = std::max(farthest, std::sqrt(d.Dot(d)));
      moved = std::max(moved, std::sqrt(d.Dot(d)));
      const double degrees = std::fmod((wind->speed * wind->clock + p->phase) * 57.29578, 360.0);
      const Vector3 expected = rest[i] + p->sway * (0.5f * Foliage::Sway(static_cast<int32_t>(degrees)));
      EXPECT_NEAR(p->position.x, expected.x, 1e-4f);
    }
  }
  EXPECT_GT(moved, 0.3f);
  EXPECT_LE(farthest, 0.5f + 1e-4f);
  // The table is smooth: neighbouring degrees differ little, and it comes
  // round without a step.
  for (int d = 0; d < 360; ++d) EXPECT_LT(std::fabs(Foliage::Sway(d + 1) - Foliage::Sway(d)), 0.04f) << d;
}

TEST_F(Particles, ATrianglesEmitterReadsOnlyCornersItHas) {
  // Six indices (two triangles) but only four positions: the second
  // triangle's corners 3, 4, 5 run past the buffer.
  Ref<Triangles> mesh(new Triangles(String("ground")));
  const Vector3 corners[4] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {5, 5, 5}};
  const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
  mesh->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
  mesh->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
  mesh->UpdateGeometricState(0.0, false);
  Ref<TrianglesEmitter> emitter(new TrianglesEmitter(String("surface")));
  emitter->SetGeometry(mesh.Get());
  for (int i = 0; i < 500; ++i) {
    Vector3 position, direction;
    emitter->Emit(&position, &direction);
    // On the first triangle, or at the origin for the broken second one.
    EXPECT_GE(position.x, -1e-5f);
    EXPECT_GE(position.z, -1e-5f);
    EXPECT_LE(position.x + position.z, 1.0f + 1e-5f);
    EXPECT_NEAR(position.y, 0.0f, 1e-6f);
  }
}

TEST_F(Particles, ANodeParticleSystemDrawsItsNodeAtEachParticle) {
  Ref<Triangles> pebble(new Triangles(String("pebble")));
  const Vector3 corners[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const int32_t indices[3] = {0, 1, 2};
  pebble->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 3, corners)).Get());
  pebble->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 3, indices)).Get());
  pebble->UpdateModelBound();
  SetTranslation(pebble->LocalTransform(), Vector3{-4, 0, 0});
  Ref<ColourCountingEffect> effect(new ColourCountingEffect());
  ASSERT_EQ(pebble->SetEffect(effect.Get()), kOk);
  Ref<NodeParticleSystem> system(new NodeParticleSystem(String("pebbles")));
  system->SetEmitter(Ref<PointEmitter>(new PointEmitter(String("point"))).Get());
  system->SetDrawnNode(pebble.Get());
  system->particlesPerBurst = 3;
  system->emissionInterval = 1000.0f;
  system->lifetime = 10.0f;
  system->birthColor = system->deathColor = Color{1, 0, 0, 1};
  system->birthSize = system->deathSize = 2.0f;
  system->SetMaximumParticles(10);
  system->Update(0.05);
  ASSERT_EQ(system->GetLiveCount(), 3);
  system->DrawSelf(&screen_);
  // Drawn once a particle, in the particle's colour; then the node and its
  // effect are as they were.
  ASSERT_EQ(effect->drawnIn.size(), 3u);
  for (const Color& c : effect->drawnIn) EXPECT_FLOAT_EQ(c.r, 1.0f);
  EXPECT_FLOAT_EQ(effect->colour.r, 0.1f);
  EXPECT_FLOAT_EQ(pebble->GetLocalTransform().translation.x, -4.0f);
  EXPECT_FLOAT_EQ(pebble->GetLocalTransform().scale.x, 1.0f);
}

TEST_F(Particles, AnEmitterTwoSystemsShareEmitsForTheOneAskingAndOutlivesThem) {
  Ref<PointEmitter> shared(new PointEmitter(String("shared")));
  shared->SetAngles(0.0f, 0.0f);
  Ref<SpriteParticleSystem> left = System(10, 1, 0), right = System(10, 1, 0);
  left->SetEmitter(shared.Get());
  right->SetEmitter(shared.Get());
  SetTranslation(left->LocalTransform(), Vector3{-5, 0, 0});
  SetTranslation(right->LocalTransform(), Vector3{5, 0, 0});
  left->Update(0.05);
  right->Update(0.05);
  EXPECT_FLOAT_EQ(left->GetFirstParticle()->position.x, -5.0f);
  EXPECT_FLOAT_EQ(right->GetFirstParticle()->position.x, 5.0f);
  // The last system to emit goes; the emitter no longer points at it.
  right = nullptr;
  EXPECT_EQ(shared->GetNode(), nullptr);
  left->Update(100.0);
  EXPECT_FLOAT_EQ(left->GetFirstParticle()->position.x, -5.0f);
}

}  // namespace
}  // namespace klx
