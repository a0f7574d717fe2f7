#include "typeset.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace klx::scenebuild {
namespace {

void SelectFont(cairo_t* cr, const TypeStyle& style) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                         style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, style.size);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// Lays the text out letter by letter, so that the spacing applies; calls
// `draw` with each letter and its pen position, and returns the width.
template <typename Draw>
float Layout(cairo_t* cr, const std::string& text, const TypeStyle& style, Draw draw) {
  float pen = 0.0f;
  for (size_t i = 0; i < text.size(); ++i) {
    const char letter[2] = {text[i], '\0'};
    cairo_text_extents_t extents;
    cairo_text_extents(cr, letter, &extents);
    draw(letter, pen);
    pen += static_cast<float>(extents.x_advance) * style.stretch + (i + 1 < text.size() ? style.spacing : 0.0f);
  }
  return pen;
}

// The text's outlines as a path, stretched across as the style asks.
void TextPath(cairo_t* cr, const std::string& text, float x, float baseline, const TypeStyle& style) {
  Layout(cr, text, style, [&](const char* letter, float pen) {
    cairo_save(cr);
    cairo_translate(cr, x + pen, baseline);
    cairo_scale(cr, style.stretch, 1.0);
    cairo_move_to(cr, 0, 0);
    cairo_text_path(cr, letter);
    cairo_restore(cr);
  });
}

// A coverage layer of the canvas's size: the text filled, or stroked
// `strokeWidth` wide.
cairo_surface_t* Coverage(const content::Canvas& canvas, const std::string& text, float x, float baseline,
                          const TypeStyle& style, float strokeWidth) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, canvas.Width(), canvas.Height());
  cairo_t* cr = cairo_create(surface);
  SelectFont(cr, style);
  TextPath(cr, text, x, baseline, style);
  if (strokeWidth > 0.0f) {
    cairo_set_line_width(cr, strokeWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
  }
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

// Blends the layer's coverage into the canvas in `color`, times `opacity`.
void BlendLayer(content::Canvas& canvas, cairo_surface_t* layer, const content::Rgba& color, float opacity) {
  const unsigned char* data = cairo_image_surface_get_data(layer);
  const int stride = cairo_image_surface_get_stride(layer);
  for (int py = 0; py < canvas.Height(); ++py) {
    for (int px = 0; px < canvas.Width(); ++px) {
      const float a = data[static_cast<size_t>(py) * stride + px] / 255.0f;
      if (a > 0.0f) canvas.Blend(px, py, color, opacity * a);
    }
  }
}

// The shadow (the letters' coverage blurred and moved down and right), the
// outline, then the letters.
void Paint(content::Canvas& canvas, const std::string& text, float x, float baseline, const TypeStyle& style) {
  const int width = canvas.Width(), height = canvas.Height();
  cairo_surface_t* letters = Coverage(canvas, text, x, baseline, style, 0.0f);
  const unsigned char* data = cairo_image_surface_get_data(letters);
  const int stride = cairo_image_surface_get_stride(letters);
  auto coverage = [&](int px, int py) {
    if (px < 0 || py < 0 || px >= width || py >= height) return 0.0f;
    return data[static_cast<size_t>(py) * stride + px] / 255.0f;
  };
  if (style.shadow > 0.0f) {
    const int offset = std::max(1, static_cast<int>(std::lround(style.size / 20.0f)));
    const int radius = std::max(1, static_cast<int>(std::lround(style.size / 24.0f)));
    const float area = static_cast<float>((2 * radius + 1) * (2 * radius + 1));
    for (int py = 0; py < height; ++py) {
      for (int px = 0; px < width; ++px) {
        float sum = 0.0f;
        for (int dy = -radius; dy <= radius; ++dy) {
          for (int dx = -radius; dx <= radius; ++dx) sum += coverage(px - offset + dx, py - offset + dy);
        }
        if (sum > 0.0f) canvas.Blend(px, py, content::Rgba{0, 0, 0, 1}, style.shadow * sum / area);
      }
    }
  }
  if (style.outline > 0.0f) {
    cairo_surface_t* outline = Coverage(canvas, text, x, baseline, style, style.outline * 2.0f);
    BlendLayer(canvas, outline, content::Rgba{0.02f, 0.02f, 0.03f, 1}, 0.85f);
    cairo_surface_destroy(outline);
  }
  BlendLayer(canvas, letters, style.color, 1.0f);
  cairo_surface_destroy(letters);
}

}  // namespace

float TypesetWidth(const std::string& text, const TypeStyle& style) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  SelectFont(cr, style);
  const float width = Layout(cr, text, style, [](const char*, float) {});
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return width;
}

void Typeset(content::Canvas& canvas, const std::string& text, float x, float baseline, const TypeStyle& style) {
  Paint(canvas, text, x, baseline, style);
}

void TypesetCentred(content::Canvas& canvas, const std::string& text, float baseline, const TypeStyle& style) {
  Paint(canvas, text, (static_cast<float>(canvas.Width()) - TypesetWidth(text, style)) * 0.5f, baseline, style);
}

}  // namespace klx::scenebuild
