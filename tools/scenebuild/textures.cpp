#include "textures.h"

#include <algorithm>
#include <cmath>

#include "light_map.h"
#include "random.h"
#include "world.h"

namespace klx::scenebuild {

using content::Canvas;
using content::FractalNoise;
using content::Mix;
using content::Rgba;
using content::SmoothStep;

namespace {

constexpr float kPi = 3.14159265f;

}  // namespace

Canvas PaintTerrain(int size) {
  Canvas canvas(size, size);
  const float texel = kWorldSize / static_cast<float>(size);
  const Rgba grass{0.20f, 0.31f, 0.10f, 1}, dryGrass{0.40f, 0.39f, 0.16f, 1}, forest{0.10f, 0.18f, 0.08f, 1};
  const Rgba rock{0.40f, 0.36f, 0.31f, 1}, sand{0.66f, 0.58f, 0.42f, 1}, mud{0.24f, 0.22f, 0.17f, 1};
  const Rgba asphalt{0.23f, 0.23f, 0.24f, 1}, shoulder{0.45f, 0.39f, 0.30f, 1};
  for (int y = 0; y < size; ++y) {
    const float z = kWorldSize * 0.5f - (y + 0.5f) * texel;
    for (int x = 0; x < size; ++x) {
      const float wx = -kWorldSize * 0.5f + (x + 0.5f) * texel;
      const float h = GroundHeight(wx, z);
      const Vector3 n = GroundNormal(wx, z);
      const float patches = FractalNoise(wx / 25.0f, z / 25.0f, 4, 101);
      Rgba c = Mix(grass, dryGrass, SmoothStep(0.45f, 0.7f, patches));
      c = Mix(c, forest, SmoothStep(0.5f, 0.65f, FractalNoise(wx / 35.0f, z / 35.0f, 3, 202)) * SmoothStep(8.0f, 16.0f, h));
      c = Mix(c, rock, SmoothStep(0.22f, 0.42f, 1.0f - n.y + 0.15f * (patches - 0.5f)));
      const float shore = SmoothStep(2.2f, 0.6f, h) * SmoothStep(-0.5f, -0.2f, LakeDepthFactor(wx, z));
      c = Mix(c, sand, shore);
      c = Mix(c, mud, SmoothStep(-0.2f, -1.5f, h));
      const float road = RoadDistance(wx, z);
      // The road's own strip lies on top; under it the ground is the
      // shoulder's dirt, so that far off, where the texture is filtered
      // down, the road does not smear a dark band across the grass.
      c = Mix(c, shoulder, SmoothStep(kRoadHalfWidth + 2.0f, kRoadHalfWidth + 0.8f, road));
      c = Mix(c, asphalt, 0.35f * SmoothStep(kRoadHalfWidth + 0.3f, kRoadHalfWidth - 0.3f, road));
      const float grain = 0.85f + 0.3f * content::ValueNoise(wx * 1.7f, z * 1.7f, 303);
      c = content::Scale(c, grain);
      // The light comes from the light map; this picture holds the ground's
      // own colours, scaled up as the light map is scaled down.
      canvas.At(x, y) = content::Scale(c, kLightMapRange);
    }
  }
  return canvas;
}

Canvas PaintWater(int size) {
  Canvas canvas(size, size);
  const Rgba far{0.98f, 0.62f, 0.40f, 1}, middle{0.55f, 0.40f, 0.46f, 1}, near{0.10f, 0.15f, 0.25f, 1};
  for (int y = 0; y < size; ++y) {
    const float v = (y + 0.5f) / size;  // 0 at the far shore
    Rgba base = v < 0.45f ? Mix(far, middle, v / 0.45f) : Mix(middle, near, (v - 0.45f) / 0.55f);
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size;
      // Ripples: long horizontal streaks that shorten towards the near shore.
      const float streak = FractalNoise(u * 6.0f, v * (40.0f + 60.0f * v), 3, 404, 6);
      Rgba c = content::Scale(base, 0.82f + 0.36f * streak);
      // The sun's path on the water, broken into glints.
      const float path = std::exp(-std::pow((u - 0.62f) / (0.05f + 0.12f * v), 2.0f));
      const float glint = SmoothStep(0.62f, 0.8f, content::ValueNoise(u * 90.0f, v * 260.0f, 505));
      c = Mix(c, Rgba{1.0f, 0.82f, 0.55f, 1}, std::clamp(path * (0.35f + 0.65f * glint) * (1.0f - 0.7f * v), 0.0f, 1.0f));
      canvas.At(x, y) = c;
    }
  }
  return canvas;
}

Canvas PaintSky(int width, int height) {
  Canvas canvas(width, height);
  const Vector3 sun = SunDirection();
  const Rgba zenith{0.14f, 0.20f, 0.42f, 1}, glow{1.0f, 0.60f, 0.30f, 1}, dusk{0.60f, 0.46f, 0.60f, 1};
  for (int y = 0; y < height; ++y) {
    const float v = (y + 0.5f) / height;
    const float elevation = kPi * 0.5f - v * (kPi * 0.5f - kSkyLowest);
    for (int x = 0; x < width; ++x) {
      const float u = (x + 0.5f) / width;
      const float azimuth = u * 2.0f * kPi;
      const Vector3 dir{std::cos(elevation) * std::sin(azimuth), std::sin(elevation),
                        std::cos(elevation) * std::cos(azimuth)};
      const float toSun = std::acos(std::clamp(dir.Dot(sun), -1.0f, 1.0f));
      const float sunSide = std::exp(-toSun / 1.1f);
      const Rgba horizon = Mix(dusk, glow, sunSide);
      const float low = std::exp(-std::max(elevation, 0.0f) / 0.28f);
      Rgba c = Mix(zenith, horizon, low);
      // The sun and its halo.
      c = Mix(c, Rgba{1.0f, 0.80f, 0.52f, 1}, std::exp(-toSun / 0.09f) * 0.8f);
      c = Mix(c, Rgba{1.0f, 0.96f, 0.82f, 1}, SmoothStep(0.035f, 0.025f, toSun));
      // Streaks of cloud, lit from below on the sun's side.
      if (elevation > 0.02f) {
        const float band = SmoothStep(0.03f, 0.12f, elevation) * SmoothStep(0.75f, 0.3f, elevation);
        const float n = FractalNoise(u * 14.0f, elevation * 22.0f, 5, 606, 14);
        const float cover = SmoothStep(0.52f, 0.68f, n) * band;
        const Rgba cloudLit{1.0f, 0.58f, 0.42f, 1}, cloudShade{0.40f, 0.32f, 0.46f, 1};
        const Rgba cloud = Mix(cloudShade, cloudLit, std::clamp(sunSide * 1.6f - 0.2f * (n - 0.5f), 0.0f, 1.0f));
        c = Mix(c, cloud, cover * 0.85f);
      }
      // Far mountains on the horizon, hazier with distance, and the ground below.
      const float ridge = 0.015f + 0.07f * FractalNoise(u * 9.0f, 0.5f, 4, 707, 9) +
                          0.03f * FractalNoise(u * 31.0f, 1.5f, 2, 808, 31);
      if (elevation < ridge) {
        const Rgba mountain = Mix(Rgba{0.24f, 0.22f, 0.32f, 1}, horizon, 0.35f + 0.2f * sunSide);
        c = Mix(c, mountain, SmoothStep(ridge, ridge - 0.004f, elevation));
      }
      // Below the horizon the dome shows the haze the terrain fades into.
      if (elevation < 0.0f) c = Mix(c, HazeColour(), SmoothStep(0.0f, -0.06f, elevation));
      canvas.At(x, y) = c;
    }
  }
  return canvas;
}

Canvas PaintRoad(int width, int height) {
  Canvas canvas(width, height);
  for (int y = 0; y < height; ++y) {
    const float v = (y + 0.5f) / height;
    for (int x = 0; x < width; ++x) {
      const float u = (x + 0.5f) / width;
      const float grain = FractalNoise(u * 32.0f, v * 128.0f, 3, 909, 32);
      Rgba c{0.20f + 0.08f * grain, 0.20f + 0.08f * grain, 0.21f + 0.08f * grain, 1};
      // Darker tracks where the wheels run.
      const float tracks = std::exp(-std::pow((std::fabs(u - 0.5f) - 0.25f) / 0.06f, 2.0f));
      c = content::Scale(c, 1.0f - 0.18f * tracks);
      const float edge = std::min(std::fabs(u - 0.07f), std::fabs(u - 0.93f));
      c = Mix(c, Rgba{0.85f, 0.84f, 0.80f, 1}, SmoothStep(0.018f, 0.01f, edge));
      if (v < 0.5f) c = Mix(c, Rgba{0.88f, 0.76f, 0.35f, 1}, SmoothStep(0.016f, 0.008f, std::fabs(u - 0.5f)));
      canvas.At(x, y) = Lit(c, Vector3{0, 1, 0});
    }
  }
  return canvas;
}

Canvas PaintConifer(int width, int height) {
  Canvas canvas(width, height, Rgba{0.10f, 0.16f, 0.08f, 0});
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  canvas.Line(w * 0.5f, h, w * 0.5f, h * 0.55f, w * 0.07f, Lit(Rgba{0.32f, 0.22f, 0.14f, 1}, Vector3{0, 0, 1}));
  content::Random random(17);
  const int tiers = 7;
  for (int i = 0; i < tiers; ++i) {
    const float t = static_cast<float>(i) / tiers;
    const float base = h * (0.86f - 0.78f * t);
    const float top = base - h * 0.24f;
    const float half = w * 0.46f * (1.0f - 0.8f * t);
    std::vector<float> outline{w * 0.5f, top};
    const int teeth = 9;
    for (int k = 0; k <= teeth; ++k) {
      const float s = static_cast<float>(k) / teeth;
      outline.push_back(w * 0.5f + half * (1.0f - 2.0f * s));
      outline.push_back(base + (k % 2 == 0 ? h * 0.02f : -h * 0.03f) + random.Range(-2.0f, 2.0f));
    }
    const Rgba shade{0.07f, 0.14f, 0.07f, 1}, lit{0.16f, 0.24f, 0.09f, 1};
    canvas.Polygon(outline, Mix(shade, lit, 0.3f + 0.4f * t));
    // The sunlit side of each tier.
    std::vector<float> rim{w * 0.5f, top + 2.0f, w * 0.5f + half * 0.9f, base - 1.0f, w * 0.5f + half * 0.45f, base - 3.0f};
    canvas.Polygon(rim, Rgba{0.55f, 0.40f, 0.16f, 0.45f});
  }
  return canvas;
}

Canvas PaintBroadleaf(int size) {
  Canvas canvas(size, size, Rgba{0.14f, 0.20f, 0.08f, 0});
  const float s = static_cast<float>(size);
  const Rgba bark = Lit(Rgba{0.30f, 0.22f, 0.15f, 1}, Vector3{0, 0, 1});
  canvas.Line(s * 0.5f, s, s * 0.5f, s * 0.5f, s * 0.06f, bark);
  canvas.Line(s * 0.5f, s * 0.62f, s * 0.36f, s * 0.45f, s * 0.03f, bark);
  canvas.Line(s * 0.5f, s * 0.58f, s * 0.66f, s * 0.42f, s * 0.03f, bark);
  content::Random random(29);
  for (int i = 0; i < 140; ++i) {
    const float angle = random.Range(0.0f, 2.0f * kPi);
    const float radius = s * 0.33f * std::sqrt(random.Unit());
    const float cx = s * 0.5f + std::cos(angle) * radius * 1.1f;
    const float cy = s * 0.4f + std::sin(angle) * radius * 0.85f;
    // Light from the upper right, the sun's side.
    const float light = std::clamp(0.5f + (cx - s * 0.5f) / s + (s * 0.4f - cy) / s, 0.0f, 1.0f);
    const Rgba leaf = Mix(Rgba{0.08f, 0.15f, 0.06f, 1}, Rgba{0.42f, 0.42f, 0.14f, 1}, light * random.Range(0.6f, 1.0f));
    canvas.Disc(cx, cy, s * random.Range(0.04f, 0.08f), leaf, 1.5f);
  }
  return canvas;
}

Canvas PaintGrassTuft(int width, int height) {
  Canvas canvas(width, height, Rgba{0.25f, 0.32f, 0.10f, 0});
  content::Random random(41);
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  for (int i = 0; i < 70; ++i) {
    const float x0 = random.Range(w * 0.1f, w * 0.9f);
    const float lean = random.Range(-0.35f, 0.35f) * h;
    const float tall = random.Range(0.45f, 0.98f) * h;
    // Green to straw; the evening keeps the dry blades from glaring against
    // the darkening ground.
    const Rgba blade = Mix(Rgba{0.13f, 0.22f, 0.07f, 1}, Rgba{0.50f, 0.43f, 0.19f, 1}, random.Unit() * 0.65f);
    canvas.Line(x0, h, x0 + lean * 0.5f, h - tall * 0.6f, 2.2f, blade);
    canvas.Line(x0 + lean * 0.5f, h - tall * 0.6f, x0 + lean, h - tall, 1.3f, blade);
  }
  return canvas;
}

Canvas PaintFlame(int width, int height) {
  Canvas canvas(width, height, Rgba{1.0f, 0.5f, 0.1f, 0});
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const float u = (x + 0.5f) / w - 0.5f, v = (y + 0.5f) / h;  // v 0 at the top
      const float flicker = 0.08f * (content::ValueNoise(u * 6.0f, v * 5.0f, 1001) - 0.5f);
      const float halfWidth = 0.42f * std::pow(std::max(v, 0.0f), 0.8f) * (1.0f - std::pow(v, 6.0f)) + flicker;
      const float inside = std::clamp(1.0f - std::fabs(u) / std::max(halfWidth, 1e-3f), 0.0f, 1.0f);
      const float heat = inside * std::clamp(v * 1.4f, 0.0f, 1.0f);
      const Rgba c = Mix(Rgba{0.9f, 0.22f, 0.04f, 1}, Rgba{1.0f, 0.92f, 0.55f, 1}, std::clamp(heat * 1.3f - 0.2f, 0.0f, 1.0f));
      canvas.At(x, y) = Rgba{c.r, c.g, c.b, SmoothStep(0.0f, 0.5f, inside) * SmoothStep(0.0f, 0.25f, v)};
    }
  }
  return canvas;
}

Canvas PaintSpark(int size) {
  Canvas canvas(size, size, Rgba{1.0f, 0.6f, 0.2f, 0});
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size - 0.5f, v = (y + 0.5f) / size - 0.5f;
      const float r = std::sqrt(u * u + v * v) * 2.0f;
      const float glow = std::clamp(1.0f - r, 0.0f, 1.0f);
      canvas.At(x, y) = Mix(Rgba{1.0f, 0.45f, 0.1f, glow * glow}, Rgba{1.0f, 0.95f, 0.8f, glow}, glow * glow);
    }
  }
  return canvas;
}

Canvas PaintGlow(int size) {
  Canvas canvas(size, size, Rgba{1, 1, 1, 0});
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size - 0.5f, v = (y + 0.5f) / size - 0.5f;
      const float r = std::clamp(std::sqrt(u * u + v * v) * 2.0f, 0.0f, 1.0f);
      // A bright core and a long soft fall-off.
      const float glow = 0.6f * std::pow(1.0f - r, 3.0f) + 0.4f * std::exp(-12.0f * r * r) * (1.0f - r);
      canvas.At(x, y) = Rgba{1, 1, 1, std::clamp(glow, 0.0f, 1.0f)};
    }
  }
  return canvas;
}

Canvas PaintSmoke(int size) {
  Canvas canvas(size, size, Rgba{0.55f, 0.55f, 0.57f, 0});
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size - 0.5f, v = (y + 0.5f) / size - 0.5f;
      const float r = std::sqrt(u * u + v * v) * 2.0f;
      const float cloud = content::FractalNoise(x * 4.0f / size, y * 4.0f / size, 4, 71, 4);
      const float edge = std::clamp(1.0f - r, 0.0f, 1.0f);
      const float alpha = std::clamp(edge * (0.8f + 1.2f * (cloud - 0.5f)), 0.0f, 1.0f);
      const float shade = 0.82f + 0.18f * cloud;
      canvas.At(x, y) = Rgba{shade, shade, shade * 1.03f, alpha};
    }
  }
  return canvas;
}

Canvas PaintLeaves(int size) {
  Canvas canvas(size, size, Rgba{0.2f, 0.3f, 0.12f, 0});
  content::Random random(404);
  const float s = static_cast<float>(size);
  for (int i = 0; i < 26; ++i) {
    const float angle = random.Range(0.0f, 6.2831853f), reach = s * 0.34f * std::sqrt(random.Unit());
    const float cx = s * 0.5f + reach * std::cos(angle), cy = s * 0.5f + reach * std::sin(angle);
    const float light = random.Range(0.75f, 1.2f);
    canvas.Disc(cx, cy, s * random.Range(0.07f, 0.12f),
                Rgba{0.24f * light, 0.36f * light, 0.13f * light, 1.0f}, 1.5f);
  }
  return canvas;
}

}  // namespace klx::scenebuild

namespace klx::scenebuild {

Ref<Image> PaintRipples(int size) {
  Ref<Image> image(new Image(String("ripples.bmp"), kImageA8, static_cast<uint32_t>(size), static_cast<uint32_t>(size)));
  // Whole waves across the picture, so it tiles: three trains crossing.
  const float k = 2.0f * 3.14159265f / static_cast<float>(size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float h = 0.45f * std::sin(k * (3 * x + 1 * y)) + 0.35f * std::sin(k * (-2 * x + 5 * y) + 1.3f) +
                      0.2f * std::sin(k * (7 * x - 4 * y) + 0.4f);
      image->EditPixels()[y * size + x] = static_cast<uint8_t>(std::lround(127.5f + 127.0f * h));
    }
  }
  return image;
}

}  // namespace klx::scenebuild
