// The scene saver's rules that need no window: the fade over a camera set
// and the views under which the car is not heard.
#include <gtest/gtest.h>

#include "app/scene_saver.h"

namespace klx {
namespace {

TEST(SceneSaverRules, TheFadeRisesOverTheLastSecondAndFallsOverTheFirst) {
  // A set of 12 s whose fade-in starts at 0.
  EXPECT_DOUBLE_EQ(FadeAlpha(6.0, 12.0, 0.0), 0.0);   // inside
  EXPECT_DOUBLE_EQ(FadeAlpha(11.5, 12.0, 0.0), 0.5);  // half a second before the cut
  EXPECT_DOUBLE_EQ(FadeAlpha(12.0, 12.0, 0.0), 1.0);  // at the cut
  EXPECT_DOUBLE_EQ(FadeAlpha(0.0, 12.0, 0.0), 1.0);   // just after it
  EXPECT_DOUBLE_EQ(FadeAlpha(0.25, 12.0, 0.0), 0.75);
  EXPECT_DOUBLE_EQ(FadeAlpha(1.0, 12.0, 0.0), 0.0);
  // A later fade-in start holds the fade until then; before it, the value
  // is past 1 (not clamped).
  EXPECT_DOUBLE_EQ(FadeAlpha(2.5, 12.0, 2.0), 0.5);
  EXPECT_DOUBLE_EQ(FadeAlpha(4.0, 12.0, 2.0), 0.0);
  EXPECT_GT(FadeAlpha(1.0, 12.0, 2.0), 1.0);
}

TEST(SceneSaverRules, TheCarIsSilentUnderTheSixFarViewsOnly) {
  for (const char* far : {"Camera03", "Camera04", "Camera06", "Camera11", "Camera17", "Camera18"}) {
    EXPECT_TRUE(IsFarView(far)) << far;
  }
  for (const char* near : {"Camera01", "Camera05", "Camera12", "camera03", "Camera03 ", ""}) {
    EXPECT_FALSE(IsFarView(near)) << near;
  }
}

}  // namespace
}  // namespace klx
