#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "canvas.h"
#include "media_folder.h"
#include "random.h"
#include "typeset.h"

namespace klx::scenebuild {

using content::Canvas;
using content::Mix;
using content::Rgba;

namespace {

// An evening landscape in miniature: sky, sun, hills, a lake with the
// sun's path. Used by the loading screen and the small pictures.
Canvas PaintVista(int width, int height) {
  Canvas canvas(width, height);
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const float horizon = h * 0.58f;
  const Rgba zenith{0.13f, 0.18f, 0.40f, 1}, glow{1.0f, 0.62f, 0.32f, 1}, water{0.10f, 0.14f, 0.24f, 1};
  const float sunX = w * 0.62f, sunY = horizon - h * 0.08f;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgba c;
      if (y < horizon) {
        const float t = std::pow(static_cast<float>(y) / horizon, 2.2f);
        c = Mix(zenith, glow, t);
        const float cloud = content::FractalNoise(x / w * 6.0f, y / h * 26.0f, 4, 55);
        c = Mix(c, Rgba{1.0f, 0.55f, 0.45f, 1}, std::clamp((cloud - 0.55f) * 4.0f, 0.0f, 1.0f) * 0.6f * t);
      } else {
        const float t = (y - horizon) / (h - horizon);
        c = Mix(Rgba{0.85f, 0.52f, 0.38f, 1}, water, std::sqrt(t));
        const float path = std::exp(-std::pow((x - sunX) / (w * (0.02f + 0.1f * t)), 2.0f));
        const float ripple = content::ValueNoise(x / w * 40.0f, y / h * 300.0f, 66);
        c = Mix(c, Rgba{1.0f, 0.85f, 0.55f, 1}, path * ripple * (1.0f - 0.6f * t));
      }
      canvas.At(x, y) = c;
    }
  }
  canvas.Disc(sunX, sunY, h * 0.045f, Rgba{1.0f, 0.93f, 0.75f, 1}, h * 0.01f);
  // Two ranges of hills, the nearer darker.
  for (int range = 0; range < 2; ++range) {
    std::vector<float> outline{0, horizon + 1};
    for (int x = 0; x <= width; x += std::max(1, width / 120)) {
      const float n = content::FractalNoise(x / w * (3.0f + range * 2.0f), 0.5f + range, 4, 77 + range);
      outline.push_back(static_cast<float>(x));
      outline.push_back(horizon - h * (range == 0 ? 0.06f + 0.14f * n : 0.02f + 0.16f * n * (1.0f - x / w)));
    }
    outline.insert(outline.end(), {w, horizon + 1});
    canvas.Polygon(outline, range == 0 ? Rgba{0.36f, 0.26f, 0.36f, 1} : Rgba{0.12f, 0.11f, 0.16f, 1});
  }
  // Conifers on the near shore.
  content::Random random(12);
  for (int i = 0; i < 26; ++i) {
    const float x = random.Range(0.0f, w * 0.32f), base = horizon + random.Range(-0.01f, 0.02f) * h;
    const float tall = random.Range(0.06f, 0.16f) * h;
    canvas.Polygon({x, base - tall, x + tall * 0.22f, base, x - tall * 0.22f, base}, Rgba{0.05f, 0.06f, 0.07f, 1});
  }
  return canvas;
}

// A corner ornament, drawn for the top-left corner and mirrored.
Canvas PaintCorner(int size, bool right, bool bottom) {
  Canvas canvas(size, size, Rgba{1, 1, 1, 0});
  const float s = static_cast<float>(size);
  auto px = [&](float x) { return right ? s - x : x; };
  auto py = [&](float y) { return bottom ? s - y : y; };
  const Rgba gold{1.0f, 0.80f, 0.45f, 0.9f}, faint{1.0f, 0.80f, 0.45f, 0.35f};
  canvas.Line(px(s * 0.08f), py(s * 0.08f), px(s * 0.92f), py(s * 0.08f), s * 0.025f, gold);
  canvas.Line(px(s * 0.08f), py(s * 0.08f), px(s * 0.08f), py(s * 0.92f), s * 0.025f, gold);
  canvas.Line(px(s * 0.16f), py(s * 0.16f), px(s * 0.6f), py(s * 0.16f), s * 0.012f, faint);
  canvas.Line(px(s * 0.16f), py(s * 0.16f), px(s * 0.16f), py(s * 0.6f), s * 0.012f, faint);
  canvas.Disc(px(s * 0.08f), py(s * 0.08f), s * 0.05f, gold, 1.5f);
  return canvas;
}

// A clock glyph: light type with a dark outline on a clear tile, drawn
// large enough to stay sharp where the overlay scales it up on a 4K screen.
// Every glyph sits on the same baseline; a glyph too wide for its tile is
// narrowed.
Canvas PaintDigit(char glyph) {
  const int width = 128, height = 160;
  Canvas canvas(width, height, Rgba{1, 1, 1, 0});
  const std::string text(1, glyph);
  TypeStyle style{150.0f, true, 0.0f, Rgba{1.0f, 0.95f, 0.85f, 1}, 0.0f, 6.0f, 1.0f};
  const float room = static_cast<float>(width) - 2.0f * style.outline - 4.0f;
  const float natural = TypesetWidth(text, style);
  if (natural > room) style.stretch = room / natural;
  Typeset(canvas, text, (static_cast<float>(width) - TypesetWidth(text, style)) * 0.5f, 135.0f, style);
  return canvas;
}

}  // namespace

bool PaintProgramPictures(MediaFolder& custom) {
  const Rgba cream{1.0f, 0.95f, 0.85f, 1}, amber{1.0f, 0.82f, 0.55f, 1};
  Canvas loader = PaintVista(1024, 768);
  TypesetCentred(loader, "3D SCREENSAVER", 210.0f, TypeStyle{78.0f, true, 3.0f, cream, 0.55f});
  TypesetCentred(loader, "EVENING VALLEY", 268.0f, TypeStyle{30.0f, false, 12.0f, amber, 0.5f});
  TypesetCentred(loader, "LOADING", 712.0f, TypeStyle{22.0f, false, 8.0f, cream, 0.5f});
  bool ok = custom.AddPicture("loader.jpg", loader, false);
  const struct {
    const char* name;
    bool right, bottom;
  } corners[] = {{"4loader_lu.tga", false, false}, {"4loader_ru.tga", true, false},
                 {"4loader_ld.tga", false, true}, {"4loader_rd.tga", true, true}};
  for (const auto& corner : corners) ok = ok && custom.AddPicture(corner.name, PaintCorner(128, corner.right, corner.bottom), true);

  const struct {
    const char* name;
    char glyph;
  } digits[] = {{"digit_0.tga", '0'}, {"digit_1.tga", '1'}, {"digit_2.tga", '2'}, {"digit_3.tga", '3'},
                {"digit_4.tga", '4'}, {"digit_5.tga", '5'}, {"digit_6.tga", '6'}, {"digit_7.tga", '7'},
                {"digit_8.tga", '8'}, {"digit_9.tga", '9'}, {"digit_a.tga", 'A'}, {"digit_p.tga", 'P'},
                {"digit_m.tga", 'M'}, {"digit_dot.tga", '.'}, {"digit_ddot.tga", ':'}};
  for (const auto& digit : digits) ok = ok && custom.AddPicture(digit.name, PaintDigit(digit.glyph), true);

  Canvas preview = PaintVista(152, 112);
  TypesetCentred(preview, "3D SCREENSAVER", 24.0f, TypeStyle{12.0f, true, 0.5f, cream, 0.6f});
  ok = ok && custom.AddPicture("preview.bmp", preview, false);
  Canvas settings = PaintVista(400, 120);
  TypesetCentred(settings, "3D SCREENSAVER", 48.0f, TypeStyle{32.0f, true, 1.5f, cream, 0.55f});
  ok = ok && custom.AddPicture("settings.bmp", settings, false);
  // The studio's mark: a low sun over a line of water, and the name beside
  // it, sized to fit the space right of the sun.
  Canvas logo(160, 80, Rgba{0.10f, 0.10f, 0.16f, 1});
  logo.Disc(38, 40, 24, Rgba{1.0f, 0.62f, 0.30f, 1}, 2.0f);
  logo.Polygon({12, 46, 64, 46, 64, 70, 12, 70}, Rgba{0.10f, 0.10f, 0.16f, 1});
  logo.Line(12, 50, 64, 50, 2.0f, Rgba{1.0f, 0.62f, 0.30f, 0.6f});
  TypeStyle name{16.0f, true, 1.0f, Rgba{1.0f, 0.92f, 0.8f, 1}, 0.0f};
  while (name.size > 8.0f && TypesetWidth("VELMORA", name) > 160.0f - 72.0f - 6.0f) name.size -= 0.5f;
  TypeStyle studio = name;
  studio.bold = false;
  studio.spacing = 3.0f;
  studio.color = Rgba{1.0f, 0.75f, 0.5f, 1};
  Typeset(logo, "VELMORA", 72.0f, 38.0f, name);
  Typeset(logo, "STUDIO", 72.0f, 38.0f + name.size * 1.2f, studio);
  ok = ok && custom.AddPicture("logo.bmp", logo, false);
  return ok;
}

}  // namespace klx::scenebuild
