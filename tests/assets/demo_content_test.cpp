// The demo content the build generates and links into the saver: the
// archives mount, the scene loads with what the saver relies on, its
// textures decode, and it draws as an evening valley.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "assets/codecs/image_codecs.h"
#include "assets/image.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "sound/sound_node.h"
#include "sound/sound_node2.h"
#include "render/device_renderer.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/scene_node.h"
#include "support/engine_fixture.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

class DemoContent : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    ASSERT_EQ(LoadBuiltinImageCodecs(), kOk);
    ASSERT_EQ(CodecManager::LoadCodec(String("RAR2FileCodec"), nullptr), kOk);
    ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
    ASSERT_EQ(FileManager::AttachResourceArchive(134, String("CustomData.rar2"), String()), kOk);
    ASSERT_EQ(FileManager::AttachResourceArchive(227, String("Media.rar2"), String()), kOk);
  }

  Ref<Object> LoadMain() {
    VirtualFile* file = FileManager::FindFile(String("Main.STR"));
    EXPECT_NE(file, nullptr);
    Ref<Object> root;
    if (file != nullptr) {
      EXPECT_EQ(LoadScene(file, &root), kOk);
    }
    return root;
  }
};

TEST_F(DemoContent, TheProgramsPicturesAreInCustomData) {
  const char* names[] = {"loader.jpg",  "4loader_ld.tga", "4loader_rd.tga", "4loader_lu.tga", "4loader_ru.tga",
                         "digit_0.tga", "digit_9.tga",    "digit_a.tga",    "digit_p.tga",    "digit_m.tga",
                         "digit_dot.tga", "digit_ddot.tga", "preview.bmp",  "settings.bmp",   "logo.bmp"};
  for (const char* name : names) {
    VirtualFile* file = FileManager::FindFile(String(name));
    ASSERT_NE(file, nullptr) << name;
    Ref<Image> image(new Image(file, String()));
    EXPECT_GT(image->GetWidth(), 0u) << name;
    ASSERT_NE(image->GetPixels(), nullptr) << name;
    // Tiles that lie over the picture carry alpha.
    const std::string text(name);
    if (text.find(".tga") != std::string::npos) {
      EXPECT_EQ(image->GetFormat(), kImageRGBA8) << name;
    }
  }
  // A digit tile is clear at its corner and opaque somewhere in its glyph.
  Ref<Image> eight(new Image(FileManager::FindFile(String("digit_8.tga")), String()));
  const uint8_t* pixels = eight->GetPixels();
  EXPECT_EQ(pixels[3], 0);
  int opaque = 0;
  for (uint32_t i = 0; i < eight->GetWidth() * eight->GetHeight(); ++i) opaque += pixels[i * 4 + 3] > 200;
  EXPECT_GT(opaque, 60);
}

TEST_F(DemoContent, TheSceneHasWhatTheSaverLooksFor) {
  Ref<Object> root = LoadMain();
  ASSERT_TRUE(root);
  for (const char* name : {"Camera03", "Camera04", "Camera06", "Camera11", "Camera17", "Camera18", "Camera01",
                           "Camera02", "Camera05"}) {
    EXPECT_NE(DynamicCast<Camera>(root->FindByName(String(name))), nullptr) << name;
  }
  auto* music = DynamicCast<SoundNode>(root->FindByName(String("Music")));
  ASSERT_NE(music, nullptr);
  EXPECT_TRUE(music->GetLoop());
  EXPECT_FALSE(music->Is3D());
  auto* car = DynamicCast<SoundNode>(root->FindByName(String("Car")));
  ASSERT_NE(car, nullptr);
  EXPECT_TRUE(car->Is3D());
  EXPECT_NE(DynamicCast<SoundNode2>(root->FindByName(String("Songbirds"))), nullptr);

  // Every sound node found its file, and every texture its picture.
  Array<Object*> sounds(8, 8);
  root->CollectByType(SoundNode::TYPE, sounds);
  EXPECT_GE(sounds.Count(), 4);
  for (Object* object : sounds) {
    auto* node = static_cast<SoundNode*>(object);
    EXPECT_NE(FileManager::FindFile(node->GetFileName()), nullptr) << node->GetName().CStr();
  }
  Array<Object*> textures(8, 8);
  root->CollectByType(Texture::TYPE, textures);
  EXPECT_GE(textures.Count(), 8);
  for (Object* object : textures) {
    Image* image = static_cast<Texture*>(object)->GetImage();
    ASSERT_NE(image, nullptr) << object->GetName().CStr();
    EXPECT_NE(image->GetPixels(), nullptr) << object->GetName().CStr();
  }
}

// Seen over the lake towards the sunset: sky above, warm light low in the
// sky, the lake below.
TEST_F(DemoContent, TheLakeViewDrawsSkyAndWater) {
  DeviceRenderer* renderer = OpenOffscreenRenderer(160, 100, "demo");
  if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
  {
    Ref<Object> root = LoadMain();
    ASSERT_TRUE(root);
    auto* scene = DynamicCast<SceneNode>(root.Get());
    ASSERT_NE(scene, nullptr);
    auto* camera = DynamicCast<Camera>(root->FindByName(String("Camera07")));
    ASSERT_NE(camera, nullptr);
    renderer->SetCamera(camera);
    scene->UpdateGeometricState(0.0, false);
    renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    ASSERT_EQ(renderer->BeginFrame(), kOk);
    scene->Draw(renderer);
    renderer->FlushQueues();
    renderer->EndFrame();
    std::vector<uint8_t> rgba;
    renderer->GetDevice()->ReadPixels(0, 0, 160, 100, &rgba);
    auto at = [&](int x, int y) { return &rgba[(static_cast<size_t>(y) * 160 + x) * 4]; };
    // The brightest pixel is the setting sun, warm and in the upper part.
    int brightest = 0, sunX = 0, sunY = 0;
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 160; ++x) {
        const uint8_t* p = at(x, y);
        if (p[0] + p[1] + p[2] > brightest) {
          brightest = p[0] + p[1] + p[2];
          sunX = x;
          sunY = y;
        }
      }
    }
    EXPECT_LT(sunY, 50);
    EXPECT_GT(at(sunX, sunY)[0], at(sunX, sunY)[2]);
    const uint8_t* water = at(80, 92);
    EXPECT_GT(water[2] + water[0], 2 * water[1]) << "water " << int(water[0]) << "," << int(water[1]) << "," << int(water[2]);
    // Nothing is left at the clear colour.
    int black = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) black += rgba[i] < 4 && rgba[i + 1] < 4 && rgba[i + 2] < 4;
    EXPECT_EQ(black, 0);
    renderer->SetCamera(nullptr);
  }
  ReleaseRenderer();
}

}  // namespace
}  // namespace klx
