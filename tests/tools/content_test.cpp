// The content library: noise that tiles and repeats, a canvas whose
// blending, polygons and text land where they should, and images that come
// out bottom row first.
#include <gtest/gtest.h>

#include <cmath>

#include "assets/image.h"
#include "canvas.h"
#include "random.h"

namespace klx::content {
namespace {

TEST(ContentNoise, SameSeedSameValuesAndPeriodicNoiseTiles) {
  Random a(42), b(42), c(43);
  int different = 0;
  for (int i = 0; i < 100; ++i) {
    const uint32_t x = a.Next();
    EXPECT_EQ(x, b.Next());
    different += x != c.Next();
    const float unit = a.Unit();
    b.Unit();
    EXPECT_GE(unit, 0.0f);
    EXPECT_LT(unit, 1.0f);
  }
  EXPECT_GT(different, 90);
  for (float y : {0.3f, 2.7f}) {
    EXPECT_NEAR(FractalNoise(0.25f, y, 4, 9, 8), FractalNoise(8.25f, y, 4, 9, 8), 1e-5f);
    const float v = ValueNoise(1.5f, y, 3);
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 1.0f);
  }
}

TEST(ContentCanvas, BlendPolygonTextAndTheImageRowOrder) {
  Canvas canvas(40, 20, Rgba{0, 0, 0, 0});
  // Half coverage of opaque red over nothing: red at half alpha.
  canvas.Blend(0, 0, Rgba{1, 0, 0, 1}, 0.5f);
  EXPECT_FLOAT_EQ(canvas.At(0, 0).r, 1.0f);
  EXPECT_FLOAT_EQ(canvas.At(0, 0).a, 0.5f);
  // A square covers its inside fully and its outside not at all.
  canvas.Polygon({10, 2, 18, 2, 18, 10, 10, 10}, Rgba{0, 1, 0, 1});
  EXPECT_FLOAT_EQ(canvas.At(14, 6).g, 1.0f);
  EXPECT_FLOAT_EQ(canvas.At(14, 6).a, 1.0f);
  EXPECT_FLOAT_EQ(canvas.At(20, 6).a, 0.0f);
  // "1" in the font: ink down its middle column, none in its corners.
  Canvas text(12, 16, Rgba{0, 0, 0, 0});
  text.Text("1", 0, 0, 2.0f, Rgba{1, 1, 1, 1});
  EXPECT_GT(text.At(5, 7).a, 0.9f);
  EXPECT_LT(text.At(9, 1).a, 0.1f);
  EXPECT_FLOAT_EQ(Canvas::TextWidth("12", 2.0f), 22.0f);

  // Row 0 of the canvas is the top; the image keeps the bottom row first.
  Canvas rows(2, 2, Rgba{0, 0, 1, 1});
  rows.At(0, 0) = Rgba{1, 0, 0, 1};
  Ref<Image> image(rows.ToImage(false));
  ASSERT_EQ(image->GetFormat(), kImageRGB8);
  const uint8_t* p = image->GetPixels();
  EXPECT_EQ(p[0], 0);      // bottom-left: blue
  EXPECT_EQ(p[2], 255);
  EXPECT_EQ(p[6], 255);    // top-left: red
  EXPECT_EQ(p[8], 0);
}

}  // namespace
}  // namespace klx::content
