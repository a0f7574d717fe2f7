#pragma once
// The terrain's light map: the evening light on the ground (sky and low
// sun) with the shadows the hills and the trees cast, baked at build time.
// The light map holds the light divided by kLightMapRange and the terrain
// picture its colours multiplied by it, so that light brighter than white
// survives the 8-bit pictures.

#include <vector>

#include "canvas.h"
#include "core/math_types.h"

namespace klx::scenebuild {

inline constexpr float kLightMapRange = 1.5f;

// A tree's crown for the shadows: a cone (conifer) or a ball-like column
// (broadleaf) over its foot.
struct TreeShape {
  Vector3 foot;
  float height = 0;
  float radius = 0;
  bool conifer = true;
};

// How much of the sun reaches ground point `p` (0 in full shadow, 1 in the
// open), against the hills and the trees.
float SunReaches(const Vector3& p, const std::vector<TreeShape>& trees);

// The light map over the whole terrain, laid out as the terrain picture
// (x across, north at the top).
// A warm light on the ground round a point (a campfire's), falling off
// smoothly to nothing at `radius`.
struct GroundGlow {
  Vector3 centre;
  float radius = 0;
  Vector3 color;  // added light at the centre
};
content::Canvas PaintTerrainLight(int size, const std::vector<TreeShape>& trees,
                                  const std::vector<GroundGlow>& glows = {});

}  // namespace klx::scenebuild
