#include "canvas.h"

#include <algorithm>
#include <cmath>

#include "assets/image.h"
#include "core/codec.h"
#include "core/codec_manager.h"
#include "vfs/virtual_file.h"

namespace klx::content {
namespace {

// The font: 5×7 cells per glyph, rows top to bottom, '1' for ink.
struct Glyph {
  char c;
  const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'0', {"01110", "10001", "10011", "10101", "11001", "10001", "01110"}},
    {'1', {"00100", "01100", "00100", "00100", "00100", "00100", "01110"}},
    {'2', {"01110", "10001", "00001", "00010", "00100", "01000", "11111"}},
    {'3', {"11111", "00010", "00100", "00010", "00001", "10001", "01110"}},
    {'4', {"00010", "00110", "01010", "10010", "11111", "00010", "00010"}},
    {'5', {"11111", "10000", "11110", "00001", "00001", "10001", "01110"}},
    {'6', {"00110", "01000", "10000", "11110", "10001", "10001", "01110"}},
    {'7', {"11111", "00001", "00010", "00100", "01000", "01000", "01000"}},
    {'8', {"01110", "10001", "10001", "01110", "10001", "10001", "01110"}},
    {'9', {"01110", "10001", "10001", "01111", "00001", "00010", "01100"}},
    {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'B', {"11110", "10001", "10001", "11110", "10001", "10001", "11110"}},
    {'C', {"01110", "10001", "10000", "10000", "10000", "10001", "01110"}},
    {'D', {"11100", "10010", "10001", "10001", "10001", "10010", "11100"}},
    {'E', {"11111", "10000", "10000", "11110", "10000", "10000", "11111"}},
    {'F', {"11111", "10000", "10000", "11110", "10000", "10000", "10000"}},
    {'G', {"01110", "10001", "10000", "10111", "10001", "10001", "01111"}},
    {'H', {"10001", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'I', {"01110", "00100", "00100", "00100", "00100", "00100", "01110"}},
    {'J', {"00111", "00010", "00010", "00010", "00010", "10010", "01100"}},
    {'K', {"10001", "10010", "10100", "11000", "10100", "10010", "10001"}},
    {'L', {"10000", "10000", "10000", "10000", "10000", "10000", "11111"}},
    {'M', {"10001", "11011", "10101", "10101", "10001", "10001", "10001"}},
    {'N', {"10001", "10001", "11001", "10101", "10011", "10001", "10001"}},
    {'O', {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}},
    {'P', {"11110", "10001", "10001", "11110", "10000", "10000", "10000"}},
    {'Q', {"01110", "10001", "10001", "10001", "10101", "10010", "01101"}},
    {'R', {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}},
    {'S', {"01111", "10000", "10000", "01110", "00001", "00001", "11110"}},
    {'T', {"11111", "00100", "00100", "00100", "00100", "00100", "00100"}},
    {'U', {"10001", "10001", "10001", "10001", "10001", "10001", "01110"}},
    {'V', {"10001", "10001", "10001", "10001", "10001", "01010", "00100"}},
    {'W', {"10001", "10001", "10001", "10101", "10101", "10101", "01010"}},
    {'X', {"10001", "10001", "01010", "00100", "01010", "10001", "10001"}},
    {'Y', {"10001", "10001", "10001", "01010", "00100", "00100", "00100"}},
    {'Z', {"11111", "00001", "00010", "00100", "01000", "10000", "11111"}},
    {'.', {"00000", "00000", "00000", "00000", "00000", "00000", "00100"}},
    {':', {"00000", "00000", "00100", "00000", "00000", "00100", "00000"}},
    {'-', {"00000", "00000", "00000", "01110", "00000", "00000", "00000"}},
    {'!', {"00100", "00100", "00100", "00100", "00100", "00000", "00100"}},
    {'\'', {"00100", "00100", "01000", "00000", "00000", "00000", "00000"}},
    {',', {"00000", "00000", "00000", "00000", "00000", "00100", "01000"}},
    {' ', {"00000", "00000", "00000", "00000", "00000", "00000", "00000"}},
};

const Glyph* FindGlyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const Glyph& glyph : kFont) {
    if (glyph.c == c) return &glyph;
  }
  return nullptr;
}

bool Ink(const Glyph& g, int col, int row) {
  return col >= 0 && col < 5 && row >= 0 && row < 7 && g.rows[row][col] == '1';
}

uint8_t To8(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// Distance from point p to the segment a–b.
float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  const float dx = bx - ax, dy = by - ay;
  const float length2 = dx * dx + dy * dy;
  float t = length2 > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0f;
  t = std::clamp(t, 0.0f, 1.0f);
  const float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

Canvas::Canvas(int width, int height, const Rgba& fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

Rgba Canvas::Sample(float u, float v) const {
  const float fu = std::floor(u), fv = std::floor(v);
  const float tu = u - fu, tv = v - fv;
  auto wrap = [](int i, int n) { return ((i % n) + n) % n; };
  const int x0 = wrap(static_cast<int>(fu), width_), y0 = wrap(static_cast<int>(fv), height_);
  const int x1 = wrap(x0 + 1, width_), y1 = wrap(y0 + 1, height_);
  return Mix(Mix(At(x0, y0), At(x1, y0), tu), Mix(At(x0, y1), At(x1, y1), tu), tv);
}

void Canvas::Blend(int x, int y, const Rgba& color, float alpha) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const float a = std::clamp(alpha * color.a, 0.0f, 1.0f);
  if (a <= 0.0f) return;
  Rgba& d = At(x, y);
  const float outA = a + d.a * (1.0f - a);
  if (outA <= 0.0f) {
    d = Rgba{0, 0, 0, 0};
    return;
  }
  d.r = (color.r * a + d.r * d.a * (1.0f - a)) / outA;
  d.g = (color.g * a + d.g * d.a * (1.0f - a)) / outA;
  d.b = (color.b * a + d.b * d.a * (1.0f - a)) / outA;
  d.a = outA;
}

void Canvas::Disc(float cx, float cy, float radius, const Rgba& color, float feather) {
  const int x0 = static_cast<int>(std::floor(cx - radius - feather)), x1 = static_cast<int>(std::ceil(cx + radius + feather));
  const int y0 = static_cast<int>(std::floor(cy - radius - feather)), y1 = static_cast<int>(std::ceil(cy + radius + feather));
  for (int y = std::max(y0, 0); y <= std::min(y1, height_ - 1); ++y) {
    for (int x = std::max(x0, 0); x <= std::min(x1, width_ - 1); ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      const float coverage = std::clamp((radius + feather * 0.5f - d) / std::max(feather, 1e-3f), 0.0f, 1.0f);
      Blend(x, y, color, coverage);
    }
  }
}

void Canvas::Line(float x0, float y0, float x1, float y1, float width, const Rgba& color) {
  const float r = width * 0.5f;
  const int minX = static_cast<int>(std::floor(std::min(x0, x1) - r - 1)), maxX = static_cast<int>(std::ceil(std::max(x0, x1) + r + 1));
  const int minY = static_cast<int>(std::floor(std::min(y0, y1) - r - 1)), maxY = static_cast<int>(std::ceil(std::max(y0, y1) + r + 1));
  for (int y = std::max(minY, 0); y <= std::min(maxY, height_ - 1); ++y) {
    for (int x = std::max(minX, 0); x <= std::min(maxX, width_ - 1); ++x) {
      const float d = SegmentDistance(x + 0.5f, y + 0.5f, x0, y0, x1, y1);
      Blend(x, y, color, std::clamp(r + 0.5f - d, 0.0f, 1.0f));
    }
  }
}

void Canvas::Polygon(const std::vector<float>& xy, const Rgba& color) {
  const size_t n = xy.size() / 2;
  if (n < 3) return;
  float minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
  for (size_t i = 0; i < n; ++i) {
    minX = std::min(minX, xy[2 * i]);
    maxX = std::max(maxX, xy[2 * i]);
    minY = std::min(minY, xy[2 * i + 1]);
    maxY = std::max(maxY, xy[2 * i + 1]);
  }
  auto inside = [&](float px, float py) {
    bool in = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
      if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
  };
  for (int y = std::max(static_cast<int>(minY), 0); y <= std::min(static_cast<int>(maxY) + 1, height_ - 1); ++y) {
    for (int x = std::max(static_cast<int>(minX), 0); x <= std::min(static_cast<int>(maxX) + 1, width_ - 1); ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5f) / 4.0f, y + (sy + 0.5f) / 4.0f);
      }
      if (hits > 0) Blend(x, y, color, hits / 16.0f);
    }
  }
}

float Canvas::TextWidth(const std::string& text, float scale) { return static_cast<float>(text.size()) * 6.0f * scale - scale; }

void Canvas::Text(const std::string& text, float x, float y, float scale, const Rgba& color, float weight) {
  const float stroke = weight * scale;
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph* glyph = FindGlyph(text[i]);
    if (glyph == nullptr) continue;
    const float left = x + static_cast<float>(i) * 6.0f * scale;
    auto centre = [&](int col, int row, float* cx, float* cy) {
      *cx = left + (col + 0.5f) * scale;
      *cy = y + (row + 0.5f) * scale;
    };
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (!Ink(*glyph, col, row)) continue;
        float ax, ay;
        centre(col, row, &ax, &ay);
        Disc(ax, ay, stroke * 0.5f, color, 1.0f);
        // Strokes to the ink on the right, below, and diagonally below
        // where no straight neighbour already joins the two.
        const int joins[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
        for (const auto& j : joins) {
          const int c2 = col + j[0], r2 = row + j[1];
          if (!Ink(*glyph, c2, r2)) continue;
          if (j[0] != 0 && j[1] != 0 && (Ink(*glyph, c2, row) || Ink(*glyph, col, r2))) continue;
          float bx, by;
          centre(c2, r2, &bx, &by);
          Line(ax, ay, bx, by, stroke, color);
        }
      }
    }
  }
}

Image* Canvas::ToImage(bool withAlpha) const {
  auto* image = new Image(String(), withAlpha ? kImageRGBA8 : kImageRGB8, static_cast<uint32_t>(width_),
                          static_cast<uint32_t>(height_));
  uint8_t* out = image->EditPixels();
  const int channels = withAlpha ? 4 : 3;
  for (int y = 0; y < height_; ++y) {
    const int row = height_ - 1 - y;  // bottom row first
    for (int x = 0; x < width_; ++x) {
      const Rgba& c = At(x, y);
      uint8_t* p = out + (static_cast<size_t>(row) * width_ + x) * channels;
      p[0] = To8(c.r);
      p[1] = To8(c.g);
      p[2] = To8(c.b);
      if (withAlpha) p[3] = To8(c.a);
    }
  }
  return image;
}

bool WriteImageFile(Image* image, const std::string& path) {
  Codec* codec = CodecManager::FindCodecForFileName(String(path.c_str()));
  if (codec == nullptr || codec->GetCodecType() != kImageCodecType) return false;
  VirtualFile file{String(path.c_str())};
  return static_cast<ImageCodec*>(codec)->Save(&file, image) == kOk;
}

}  // namespace klx::content
