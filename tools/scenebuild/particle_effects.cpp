#include "particle_effects.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "random.h"
#include "render/effects/sprite_effect.h"
#include "render/texture.h"
#include "scene/emitter.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"

namespace klx::scenebuild {

namespace {


// A sprite effect with the texture: additive glow, or blended over what
// lies behind (smoke), or cut out and solid (leaves).
enum class Blend { kAdditive, kOver, kCutout };
Ref<SpriteEffect> Sprites(const char* name, Texture* texture, Blend blend) {
  Ref<SpriteEffect> effect(new SpriteEffect(String(name)));
  effect->SetTexture(texture);
  effect->cull = false;
  if (blend == Blend::kOver) {
    effect->sourceBlend = 4;       // source alpha
    effect->destinationBlend = 5;  // inverse source alpha
  } else if (blend == Blend::kCutout) {
    effect->blend = false;
    effect->alphaTest = true;
    effect->alphaReference = 110;
  }
  return effect;
}

Ref<PointEmitter> Cone(const char* name, float minimum, float maximum) {
  Ref<PointEmitter> emitter(new PointEmitter(String(name)));
  emitter->SetAngles(minimum, maximum);
  return emitter;
}

Ref<SphereVolumeEmitter> Ball(const char* name, float radius, float minimum, float maximum) {
  Ref<SphereVolumeEmitter> emitter(new SphereVolumeEmitter(String(name)));
  emitter->SetRadius(radius);
  emitter->SetAngles(minimum, maximum);
  return emitter;
}

}  // namespace

Ref<SceneNode> BuildFireParticles(Texture* glow, Texture* smoke, Texture* spark, const Vector3& fireAt) {
  Ref<SceneNode> fire(new SceneNode(String("CampfireParticles")));
  SetTranslation(fire->LocalTransform(), fireAt);

  // Tongues of flame: quick, rising, shrinking from orange-yellow to a
  // deep red that fades out.
  Ref<SpriteParticleSystem> flames(new SpriteParticleSystem(String("FireFlames")));
  flames->SetEffect(Sprites("FireFlameEffect", glow, Blend::kAdditive).Get());
  flames->SetEmitter(Ball("FireFlameBed", 0.32f, 0.0f, 0.35f).Get());
  flames->emissionInterval = 0.025f;
  flames->intervalJitter = 0.01f;
  flames->particlesPerBurst = 2;
  flames->burstJitter = 1;
  flames->birthColor = Color{1.0f, 0.7f, 0.25f, 0.95f};
  flames->birthColorJitter = Color{0.0f, 0.12f, 0.08f, 0.05f};
  flames->deathColor = Color{0.9f, 0.18f, 0.03f, 0.0f};
  flames->speed = 1.1f;
  flames->speedJitter = 0.35f;
  flames->acceleration = Vector3{0, 0.8f, 0};
  flames->accelerationJitter = Vector3{0.5f, 0.2f, 0.5f};
  flames->lifetime = 0.7f;
  flames->lifetimeJitter = 0.25f;
  flames->birthSize = 1.0f;
  flames->birthSizeJitter = 0.2f;
  flames->deathSize = 0.3f;
  flames->SetMaximumParticles(160);
  SetTranslation(flames->LocalTransform(), Vector3{0, 0.12f, 0});

  // Smoke: slow, drifting with the breeze, growing and thinning out.
  Ref<SpriteParticleSystem> smokeColumn(new SpriteParticleSystem(String("FireSmoke")));
  smokeColumn->SetEffect(Sprites("FireSmokeEffect", smoke, Blend::kOver).Get());
  smokeColumn->SetEmitter(Ball("FireSmokeBed", 0.2f, 0.0f, 0.25f).Get());
  smokeColumn->emissionInterval = 0.14f;
  smokeColumn->intervalJitter = 0.06f;
  smokeColumn->particlesPerBurst = 1;
  // Lit warm by the fire below, cooling to the evening's grey-blue.
  smokeColumn->birthColor = Color{1.0f, 0.8f, 0.65f, 0.7f};
  smokeColumn->birthColorJitter = Color{0.05f, 0.05f, 0.05f, 0.1f};
  smokeColumn->deathColor = Color{0.85f, 0.85f, 0.95f, 0.0f};
  smokeColumn->speed = 0.7f;
  smokeColumn->speedJitter = 0.2f;
  smokeColumn->acceleration = Vector3{0.18f, 0.05f, 0.08f};
  smokeColumn->accelerationJitter = Vector3{0.1f, 0.03f, 0.1f};
  smokeColumn->lifetime = 6.5f;
  smokeColumn->lifetimeJitter = 1.5f;
  smokeColumn->birthSize = 0.9f;
  smokeColumn->birthSizeJitter = 0.2f;
  smokeColumn->deathSize = 4.0f;
  smokeColumn->deathSizeJitter = 0.8f;
  smokeColumn->SetMaximumParticles(80);
  SetTranslation(smokeColumn->LocalTransform(), Vector3{0, 1.1f, 0});

  // Sparks: small, fast, thrown up in bursts, falling back as they cool.
  Ref<SpriteParticleSystem> sparks(new SpriteParticleSystem(String("FireSparks")));
  sparks->SetEffect(Sprites("FireSparkEffect", spark, Blend::kAdditive).Get());
  sparks->SetEmitter(Cone("FireSparkCone", 0.0f, 0.45f).Get());
  sparks->emissionInterval = 0.45f;
  sparks->intervalJitter = 0.35f;
  sparks->particlesPerBurst = 3;
  sparks->burstJitter = 3;
  sparks->birthColor = Color{1.0f, 0.85f, 0.45f, 1.0f};
  sparks->deathColor = Color{1.0f, 0.3f, 0.05f, 0.0f};
  sparks->speed = 2.6f;
  sparks->speedJitter = 1.0f;
  sparks->acceleration = Vector3{0.2f, -1.4f, 0.1f};
  sparks->accelerationJitter = Vector3{0.8f, 0.4f, 0.8f};
  sparks->lifetime = 1.5f;
  sparks->lifetimeJitter = 0.6f;
  sparks->birthSize = 0.3f;
  sparks->birthSizeJitter = 0.08f;
  sparks->deathSize = 0.12f;
  sparks->SetMaximumParticles(60);
  SetTranslation(sparks->LocalTransform(), Vector3{0, 0.3f, 0});

  // The smoke behind the flames, the sparks in front: the blended ones are
  // sorted by distance anyway.
  fire->AttachChild(smokeColumn.Get());
  fire->AttachChild(flames.Get());
  fire->AttachChild(sparks.Get());
  return fire;
}

bool AddHeadlights(SceneNode& car, Texture* glow) {
  Ref<SpriteEffect> effect = Sprites("HeadlightEffect", glow, Blend::kAdditive);
  for (float side : {0.55f, -0.55f}) {
    Ref<Flare> light(new Flare(String(side > 0 ? "HeadlightLeft" : "HeadlightRight")));
    light->SetEffect(effect.Get());
    light->color = Color{1.0f, 0.95f, 0.8f, 1.0f};
    light->size = 2.4f;
    SetTranslation(light->LocalTransform(), Vector3{side, 0.7f, 2.25f});
    if (car.AttachChild(light.Get()) != kOk) return false;
  }
  return true;
}

Ref<Flare> BuildSunFlare(Texture* glow, const Vector3& toSun) {
  Ref<Flare> sun(new Flare(String("SunFlare")));
  Ref<SpriteEffect> effect = Sprites("SunFlareEffect", glow, Blend::kAdditive);
  effect->depthEnable = true;
  sun->SetEffect(effect.Get());
  sun->color = Color{1.0f, 0.78f, 0.5f, 0.85f};
  // Inside the sky dome (1400 m), a glow about eight degrees across.
  const float distance = 1100.0f;
  sun->size = distance * 0.14f;
  SetTranslation(sun->LocalTransform(), toSun * distance);
  return sun;
}

Ref<Foliage> BuildFoliage(const std::vector<TreeShape>& trees, Texture* leaves) {
  // One small triangle in each broadleaf crown: the emitter picks a crown
  // and a point near its middle, and the leaves scatter from there.
  std::vector<Vector3> corners;
  for (const TreeShape& tree : trees) {
    if (tree.conifer) continue;
    const Vector3 crown = tree.foot + Vector3{0, tree.height * 0.62f, 0};
    const float r = tree.height * 0.28f;
    corners.push_back(crown + Vector3{-r, -0.4f * r, -r * 0.6f});
    corners.push_back(crown + Vector3{r, -0.2f * r, -r * 0.5f});
    corners.push_back(crown + Vector3{0.1f * r, 0.5f * r, r});
  }
  std::vector<int32_t> indices(corners.size());
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<int32_t>(i);
  Ref<Triangles> crowns(new Triangles(String("FoliageCrowns")));
  const auto count = static_cast<int32_t>(corners.size());
  crowns->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), count, corners.data())).Get());
  crowns->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), count, indices.data())).Get());
  Ref<TrianglesEmitter> emitter(new TrianglesEmitter(String("FoliageEmitter")));
  emitter->SetGeometry(crowns.Get());
  emitter->SetAngles(0.5f, 2.6f);  // mostly sideways: the way a leaf sways

  Ref<Foliage> foliage(new Foliage(String("Foliage")));
  Ref<SpriteEffect> effect = Sprites("FoliageEffect", leaves, Blend::kCutout);
  effect->windAmplitude = 0.35f;
  effect->windSpeed = 1.3f;
  foliage->SetEffect(effect.Get());
  foliage->SetEmitter(emitter.Get());
  const int32_t clusters = std::min<int32_t>(count / 3 * 14, 1400);
  foliage->emissionInterval = 1e6f;  // all at once, to live on
  foliage->particlesPerBurst = clusters;
  foliage->speed = 1.0f;
  foliage->lifetime = 1e9f;
  foliage->birthColor = Color{1, 1, 1, 1};
  foliage->birthColorJitter = Color{0.12f, 0.12f, 0.08f, 0};
  foliage->deathColor = Color{1, 1, 1, 1};
  foliage->deathColorJitter = Color{0.12f, 0.12f, 0.08f, 0};
  foliage->birthSize = 1.5f;
  foliage->birthSizeJitter = 0.5f;
  foliage->deathSize = 1.5f;
  foliage->deathSizeJitter = 0.5f;
  foliage->SetMaximumParticles(clusters);
  return foliage;
}

Ref<SpriteParticleSystem> BuildFireflies(Texture* glow, const Vector3& centre) {
  Ref<SpriteParticleSystem> flies(new SpriteParticleSystem(String("Fireflies")));
  flies->SetEffect(Sprites("FireflyEffect", glow, Blend::kAdditive).Get());
  flies->SetEmitter(Ball("FireflyMeadow", 9.0f, 0.9f, 2.2f).Get());
  flies->emissionInterval = 0.2f;
  flies->intervalJitter = 0.15f;
  flies->particlesPerBurst = 1;
  flies->birthColor = Color{0.85f, 1.0f, 0.35f, 1.0f};
  flies->birthColorJitter = Color{0.1f, 0.0f, 0.1f, 0.0f};
  flies->deathColor = Color{0.5f, 0.9f, 0.2f, 0.0f};
  flies->speed = 0.35f;
  flies->speedJitter = 0.2f;
  flies->accelerationJitter = Vector3{0.25f, 0.12f, 0.25f};
  flies->lifetime = 5.0f;
  flies->lifetimeJitter = 2.0f;
  flies->birthSize = 0.16f;
  flies->birthSizeJitter = 0.05f;
  flies->deathSize = 0.08f;
  flies->SetMaximumParticles(40);
  SetTranslation(flies->LocalTransform(), centre);
  return flies;
}

}  // namespace klx::scenebuild
