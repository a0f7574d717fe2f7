// The scene saver's rules that need no window: the fade over a camera set
// and the views under which the car is not heard.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "animation/screensaver_controller.h"
#include "app/scene_saver.h"
#include "assets/codecs/image_codecs.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/memory_stream.h"
#include "render/device_renderer.h"
#include "render/effects/shadowmap_effect.h"
#include "render/renderer.h"
#include "scene/scene_node.h"
#include "sound/sound_node.h"
#include "sound/sound_node2.h"
#include "support/engine_fixture.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

using test::Text;

class SceneSaverData : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    ASSERT_EQ(LoadBuiltinImageCodecs(), kOk);
    ASSERT_EQ(CodecManager::LoadCodec(String("RAR2FileCodec"), nullptr), kOk);
    ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
    saver_ = new SceneSaver();
    saver_->SetCachePause(0);
  }
  void TearDown() override {
    if (saver_) (void)saver_->ReleaseSaverData();
    saver_ = nullptr;
    test::EngineTest::TearDown();
  }
  void MountDemo() { ASSERT_EQ(FileManager::AttachResourceArchive(227, String("Media.rar2"), String()), kOk); }

  Ref<SceneSaver> saver_;
};

TEST_F(SceneSaverData, TheDemoLoadsWithItsSetsCarAndEveryTextureCachedOnce) {
  MountDemo();
  ASSERT_EQ(saver_->CreateSaverData(), kOk);
  ASSERT_NE(saver_->GetScreensaver(), nullptr);
  EXPECT_GE(saver_->GetScreensaver()->GetCurrent(), 0);
  log_->lines.clear();
  ASSERT_EQ(saver_->CacheSaverData(), kOk);
  // Between the two lines, one line per distinct texture.
  std::vector<std::string> names;
  bool inside = false;
  for (const test::LoggedLine& line : log_->lines) {
    if (line.level != kLogInfo) continue;
    if (line.text == Text("Кеширование...")) inside = true;
    else if (line.text == Text("Кеширование закончено.")) inside = false;
    else if (inside) names.push_back(line.text);
  }
  EXPECT_GE(names.size(), 8u);
  for (size_t i = 0; i < names.size(); ++i) {
    for (size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]);
  }
}

TEST_F(SceneSaverData, SoundSettingsSilenceWhatTheySay) {
  MountDemo();
  for (bool sfx : {false, true}) {
    for (bool music : {false, true}) {
      Ref<SceneSaver> saver(new SceneSaver());
      saver->GetSettings().sfx = sfx;
      saver->GetSettings().music = music;
      ASSERT_EQ(saver->CreateSaverData(), kOk);
      Array<Object*> nodes(8, 8);
      saver->GetRoot()->CollectByType(SoundNode::TYPE, nodes);
      saver->GetRoot()->CollectByType(SoundNode2::TYPE, nodes);
      ASSERT_GE(nodes.Count(), 4);
      for (Object* object : nodes) {
        const bool isMusic = object->GetName() == "Music";
        const int32_t volume = static_cast<SoundNodeBase*>(object)->GetVolume();
        if (isMusic) {
          EXPECT_EQ(volume == 0, !music) << "sfx " << sfx << " music " << music;
        } else if (!sfx) {
          EXPECT_EQ(volume, 0) << object->GetName().CStr();
        } else {
          EXPECT_GT(volume, 0) << object->GetName().CStr();
        }
      }
      ASSERT_EQ(saver->ReleaseSaverData(), kOk);
    }
  }
}

TEST_F(SceneSaverData, AMissingOrSetlessSceneIsRefusedWithItsLine) {
  EXPECT_EQ(saver_->CreateSaverData(), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, Text("Невозможно найти файл данных скринсейвера.")));
  // A scene without camera sets, as "Main.STR" in a directory of the file
  // system.
  Ref<SceneNode> plain(new SceneNode(String("plain")));
  const std::string path = ::testing::TempDir() + "klx_setless_" + std::to_string(getpid()) + ".STR";
  {
    VirtualFile saved{String(path.c_str())};
    ASSERT_EQ(SaveScene(&saved, plain.Get()), kOk);
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  ASSERT_FALSE(bytes.empty());
  auto* content = new uint8_t[bytes.size()];
  std::memcpy(content, bytes.data(), bytes.size());
  auto* file = new MemoryFile(String("Main.STR"));
  file->SetContent(content, static_cast<int32_t>(bytes.size()));
  auto* directory = new VirtualDirectory(String("Setless"), FileManager::GetRoot());
  ASSERT_EQ(directory->AddFile(file), kOk);
  EXPECT_EQ(saver_->CreateSaverData(), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, Text("В сцене нет контроллера скринсейвера.")));
  EXPECT_EQ(saver_->GetRoot(), nullptr);
}

// The fade drawn: half a second before a cut, the frame is half as bright
// as the same frame without the fade; in the middle of the set nothing
// darkens it.
class FadingSaver : public SceneSaver {
 public:
  using SaverApplication::CreateOverlayRenderData;
  using SaverApplication::ReleaseOverlayRenderData;
};

TEST_F(SceneSaverData, HalfASecondBeforeACutTheFrameIsHalfAsBright) {
  constexpr int kWidth = 160, kHeight = 90;
  DeviceRenderer* renderer = OpenOffscreenRenderer(kWidth, kHeight, "fade");
  if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
  ASSERT_EQ(FileManager::AttachResourceArchive(134, String("CustomData.rar2"), String()), kOk);
  MountDemo();
  {
    Ref<FadingSaver> saver(new FadingSaver());
    ASSERT_EQ(saver->CreateOverlayRenderData(), kOk);
    ASSERT_EQ(saver->CreateSaverData(), kOk);
    ASSERT_EQ(saver->Update(0.0), kOk);
    ScreensaverController* sets = saver->GetScreensaver();
    const int32_t current = sets->GetCurrent();
    const double duration = sets->GetCurrentSet()->duration;
    ASSERT_GT(duration, 2.0);
    auto meanBrightness = [&](bool withFade) {
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      EXPECT_EQ(renderer->BeginFrame(), kOk);
      if (withFade) {
        EXPECT_EQ(saver->Render(), kOk);
      } else {
        static_cast<Node*>(saver->GetRoot())->Draw(renderer);
        renderer->FlushQueues();
      }
      renderer->EndFrame();
      std::vector<uint8_t> rgba;
      EXPECT_TRUE(renderer->GetDevice()->ReadPixels(0, 0, kWidth, kHeight, &rgba));
      double sum = 0;
      for (size_t i = 0; i + 3 < rgba.size(); i += 4) sum += rgba[i] + rgba[i + 1] + rgba[i + 2];
      return sum / (3.0 * kWidth * kHeight);
    };
    ASSERT_EQ(saver->Update(duration / 2 - sets->GetElapsed()), kOk);
    // The set is chosen at random: a dusk view, letterboxed, is dim, but
    // never black.
    const double middle = meanBrightness(true);
    EXPECT_GT(middle, 8.0);
    EXPECT_NEAR(meanBrightness(false), middle, 0.5);
    ASSERT_EQ(saver->Update(duration - 0.5 - sets->GetElapsed()), kOk);
    ASSERT_EQ(sets->GetCurrent(), current);
    ASSERT_NEAR(sets->GetElapsed(), duration - 0.5, 1e-6);
    const double faded = meanBrightness(true);
    const double plain = meanBrightness(false);
    EXPECT_GT(plain, 8.0);
    EXPECT_NEAR(faded / plain, 0.5, 0.05);
    ASSERT_EQ(saver->ReleaseSaverData(), kOk);
    ASSERT_EQ(saver->ReleaseOverlayRenderData(), kOk);
    ASSERT_EQ(saver->ReleaseRenderData(), kOk);
  }
  ReleaseRenderer();
}

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

TEST_F(SceneSaverData, WithoutHardwareShadowMapsTheShadowEffectsComeOffAndTheSceneDrawsCleanly) {
  DeviceRenderer* renderer = OpenOffscreenRenderer(160, 100, "no shadow maps");
  if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
  MountDemo();
  for (bool shadowMaps : {true, false}) {
    RendererCaps caps = renderer->GetCaps();
    caps.hardwareShadowMaps = shadowMaps;
    renderer->OverrideCaps(caps);
    Ref<SceneSaver> saver(new SceneSaver());
    ASSERT_EQ(saver->CreateSaverData(), kOk);
    Array<Object*> shadows(2, 2);
    saver->GetRoot()->CollectByType(ShadowmapEffect::TYPE, shadows);
    EXPECT_EQ(shadows.Count(), shadowMaps ? 1 : 0);
    if (shadowMaps) continue;
    auto* scene = DynamicCast<SceneNode>(saver->GetRoot());
    ASSERT_NE(scene, nullptr);
    log_->lines.clear();
    for (int frame = 0; frame < 2; ++frame) {
      scene->UpdateGeometricState(0.05, false);
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      ASSERT_EQ(renderer->BeginFrame(), kOk);
      scene->Draw(renderer);
      renderer->EndFrame();
    }
    for (const test::LoggedLine& line : log_->lines) EXPECT_NE(line.level, kLogError) << line.text;
    ASSERT_EQ(saver->ReleaseSaverData(), kOk);
  }
  ReleaseRenderer();
}

}  // namespace
}  // namespace klx
