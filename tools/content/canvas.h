#pragma once
// A picture being painted: linear RGBA floats, row 0 at the top. Painting
// helpers cover what the generated textures and pictures need (blending,
// soft discs, thick lines, polygons, text in a small built-in font), and
// the result becomes an engine image (bottom row first) for the codecs.

#include <cstdint>
#include <string>
#include <vector>

namespace klx {
class Image;
}

namespace klx::content {

struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};

inline Rgba Mix(const Rgba& x, const Rgba& y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
inline Rgba Scale(const Rgba& c, float s) { return {c.r * s, c.g * s, c.b * s, c.a}; }

class Canvas {
 public:
  Canvas(int width, int height, const Rgba& fill = Rgba{0, 0, 0, 1});

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgba& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Rgba& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  // Bilinear sample with wrap-around (u, v in pixels).
  Rgba Sample(float u, float v) const;

  // Source-over blend of a colour with coverage `alpha` (times its own a).
  void Blend(int x, int y, const Rgba& color, float alpha);
  // A disc with a soft edge `feather` pixels wide.
  void Disc(float cx, float cy, float radius, const Rgba& color, float feather = 1.0f);
  // A line `width` pixels thick with round ends.
  void Line(float x0, float y0, float x1, float y1, float width, const Rgba& color);
  // A filled polygon (even-odd), anti-aliased by 4×4 supersampling.
  void Polygon(const std::vector<float>& xy, const Rgba& color);
  // Text in the built-in font, `scale` pixels per font cell (5×7 cells per
  // glyph), strokes `weight` cells thick. Digits, A–Z, space and ". : - ! ' ,".
  void Text(const std::string& text, float x, float y, float scale, const Rgba& color, float weight = 0.9f);
  static float TextWidth(const std::string& text, float scale);

  // RGB8 (alpha dropped) or RGBA8 engine image, bottom row first, with the
  // colours clamped and converted to 8 bits.
  Image* ToImage(bool withAlpha) const;

 private:
  int width_;
  int height_;
  std::vector<Rgba> pixels_;
};

// Writes the image through the engine codec its extension picks (the
// built-in image codecs must be loaded). False on failure.
bool WriteImageFile(Image* image, const std::string& path);

}  // namespace klx::content
