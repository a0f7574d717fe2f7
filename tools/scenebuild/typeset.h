#pragma once
// Text in a real type for the program's pictures: DejaVu Sans (bold or
// book) drawn by cairo, with a soft shadow, blended into a canvas. The
// clean, anti-aliased letters of the titles, where the canvas's built-in
// font reads as a placeholder.

#include <string>

#include "canvas.h"

namespace klx::scenebuild {

struct TypeStyle {
  float size = 32.0f;         // the font's size in pixels
  bool bold = true;
  float spacing = 0.0f;       // extra pixels between letters
  content::Rgba color{1, 1, 1, 1};
  float shadow = 0.5f;        // the shadow's opacity (0: none)
  float outline = 0.0f;       // a dark outline this many pixels wide (0: none)
  float stretch = 1.0f;       // across: below 1 narrows the letters
};

// The text's width in pixels.
float TypesetWidth(const std::string& text, const TypeStyle& style);
// Draws the text with its baseline at `baseline`, starting at `x`.
void Typeset(content::Canvas& canvas, const std::string& text, float x, float baseline, const TypeStyle& style);
// The same, centred across the canvas.
void TypesetCentred(content::Canvas& canvas, const std::string& text, float baseline, const TypeStyle& style);

}  // namespace klx::scenebuild
