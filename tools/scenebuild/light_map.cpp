#include "light_map.h"

#include <algorithm>
#include <cmath>

#include "world.h"

namespace klx::scenebuild {

namespace {

// The ground's height on a one-metre grid, looked up bilinearly: the rays
// towards the sun ask for it hundreds of times per texel.
class HeightGrid {
 public:
  HeightGrid() : size_(static_cast<int>(kWorldSize) + 1), heights_(static_cast<size_t>(size_) * size_) {
    for (int j = 0; j < size_; ++j) {
      for (int i = 0; i < size_; ++i) {
        const float h = GroundHeight(X(i), Z(j));
        heights_[static_cast<size_t>(j) * size_ + i] = h;
        highest_ = std::max(highest_, h);
      }
    }
  }
  float Highest() const { return highest_; }
  float At(float x, float z) const {
    const float fx = std::clamp(x + kWorldSize * 0.5f, 0.0f, static_cast<float>(size_ - 1) - 0.001f);
    const float fz = std::clamp(z + kWorldSize * 0.5f, 0.0f, static_cast<float>(size_ - 1) - 0.001f);
    const int i = static_cast<int>(fx), j = static_cast<int>(fz);
    const float u = fx - i, v = fz - j;
    const float* row = &heights_[static_cast<size_t>(j) * size_ + i];
    const float* next = row + size_;
    return (row[0] * (1 - u) + row[1] * u) * (1 - v) + (next[0] * (1 - u) + next[1] * u) * v;
  }

 private:
  static float X(int i) { return -kWorldSize * 0.5f + static_cast<float>(i); }
  static float Z(int j) { return -kWorldSize * 0.5f + static_cast<float>(j); }
  int size_;
  std::vector<float> heights_;
  float highest_ = 0.0f;
};

const HeightGrid& Heights() {
  static const HeightGrid grid;
  return grid;
}

// Whether the way to the sun from `p` runs into a hill: a march until it
// leaves the world or rises above its highest ground.
bool HillInTheWay(const Vector3& p) {
  const Vector3 sun = SunDirection();
  const HeightGrid& grid = Heights();
  // Fine steps near the point, where a small rise matters, longer ones
  // further out, where only hills can be in the way.
  for (float t = 1.0f; t < 600.0f; t += 1.0f + 0.02f * t) {
    const Vector3 q = p + sun * t;
    if (std::fabs(q.x) > kWorldSize * 0.5f || std::fabs(q.z) > kWorldSize * 0.5f || q.y > grid.Highest()) {
      return false;
    }
    if (grid.At(q.x, q.z) > q.y + 0.05f) return true;
  }
  return false;
}

// The share of the sun a tree's crown lets through to `p`: the ray towards
// the sun passes the trunk's axis closest at some height; inside the crown's
// radius there (a cone narrowing to the top for conifers), it is shaded,
// with a soft edge.
float ThroughTree(const Vector3& p, const TreeShape& tree) {
  const Vector3 sun = SunDirection();
  const float hx = sun.x, hz = sun.z;
  const float along = ((tree.foot.x - p.x) * hx + (tree.foot.z - p.z) * hz) / (hx * hx + hz * hz);
  if (along <= 0.0f) return 1.0f;
  const float dx = p.x + along * hx - tree.foot.x, dz = p.z + along * hz - tree.foot.z;
  const float miss = std::sqrt(dx * dx + dz * dz);
  const float y = p.y + along * sun.y;
  const float bottom = tree.foot.y + tree.height * (tree.conifer ? 0.15f : 0.3f);
  const float top = tree.foot.y + tree.height;
  if (y < bottom || y > top) return 1.0f;
  const float radius = tree.conifer ? tree.radius * (top - y) / (top - bottom) : tree.radius;
  if (radius <= 0.0f) return 1.0f;
  // Leaves let some light through; the edge fades over a third.
  const float inside = std::clamp((radius - miss) / (0.35f * radius), 0.0f, 1.0f);
  return 1.0f - 0.8f * inside;
}

}  // namespace

float SunReaches(const Vector3& p, const std::vector<TreeShape>& trees) {
  if (HillInTheWay(p)) return 0.0f;
  float light = 1.0f;
  for (const TreeShape& tree : trees) {
    // Only trees between the point and the sun, and near enough to matter.
    const float dx = tree.foot.x - p.x, dz = tree.foot.z - p.z;
    if (dx * dx + dz * dz > 140.0f * 140.0f) continue;
    light *= ThroughTree(p, tree);
    if (light < 0.05f) break;
  }
  return light;
}

content::Canvas PaintTerrainLight(int size, const std::vector<TreeShape>& trees, const std::vector<GroundGlow>& glows) {
  content::Canvas canvas(size, size);
  const float texel = kWorldSize / static_cast<float>(size);
  const content::Rgba sunLight{1.05f, 0.74f, 0.46f, 1};
  const content::Rgba skyLight{0.30f, 0.32f, 0.44f, 1};
  for (int y = 0; y < size; ++y) {
    const float z = kWorldSize * 0.5f - (y + 0.5f) * texel;
    for (int x = 0; x < size; ++x) {
      const float wx = -kWorldSize * 0.5f + (x + 0.5f) * texel;
      // The ground's height and normal from the grid (the normal as
      // GroundNormal makes it, by differences a metre either side).
      const HeightGrid& grid = Heights();
      const float dx = grid.At(wx + 1.0f, z) - grid.At(wx - 1.0f, z);
      const float dz = grid.At(wx, z + 1.0f) - grid.At(wx, z - 1.0f);
      const Vector3 n = Normalize(Vector3{-dx, 2.0f, -dz});
      const Vector3 ground{wx, grid.At(wx, z) + 0.05f, z};
      float sun = std::max(0.0f, n.Dot(SunDirection()));
      if (sun > 0.0f) sun *= SunReaches(ground, trees);
      const float sky = 0.55f + 0.45f * std::clamp(n.y, -1.0f, 1.0f);
      Vector3 glow{0, 0, 0};
      for (const GroundGlow& g : glows) {
        const float distance = std::hypot(wx - g.centre.x, z - g.centre.z);
        const float t = std::clamp(1.0f - distance / g.radius, 0.0f, 1.0f);
        glow = glow + g.color * (t * t * (3.0f - 2.0f * t));
      }
      canvas.At(x, y) = content::Rgba{(skyLight.r * sky + sunLight.r * sun + glow.x) / kLightMapRange,
                                      (skyLight.g * sky + sunLight.g * sun + glow.y) / kLightMapRange,
                                      (skyLight.b * sky + sunLight.b * sun + glow.z) / kLightMapRange, 1};
    }
  }
  return canvas;
}

}  // namespace klx::scenebuild
