#pragma once
// The valley's particles, flares and foliage: the campfire's flames, smoke
// and sparks, the car's head lights and the low sun as flares, leaves
// swaying on the broadleaf trees, and fireflies over the near shore.

#include <vector>

#include "core/math_types.h"
#include "core/ref_counted.h"
#include "light_map.h"

namespace klx {
class Flare;
class Foliage;
class SceneNode;
class SpriteParticleSystem;
class Texture;
}  // namespace klx

namespace klx::scenebuild {

// Flames, smoke and sparks rising from the fire at `fireAt`.
Ref<SceneNode> BuildFireParticles(Texture* glow, Texture* smoke, Texture* spark, const Vector3& fireAt);
// Two head lights on the front of the car (its local frame).
bool AddHeadlights(SceneNode& car, Texture* glow);
// The sun's glow in the sky, far along `toSun` from the valley.
Ref<Flare> BuildSunFlare(Texture* glow, const Vector3& toSun);
// Leaf clusters round the crowns of the broadleaf trees among `trees`.
Ref<Foliage> BuildFoliage(const std::vector<TreeShape>& trees, Texture* leaves);
// Fireflies drifting low over the near shore round `centre`.
Ref<SpriteParticleSystem> BuildFireflies(Texture* glow, const Vector3& centre);

}  // namespace klx::scenebuild
