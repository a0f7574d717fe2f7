// The demo content the build generates and links into the saver: the
// archives mount, the scene loads with what the saver relies on, its
// textures decode, and it draws as an evening valley.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "animation/animation_controller.h"
#include "animation/sound_node_animation.h"
#include "animation/camera_culled_controller.h"
#include "animation/screensaver_controller.h"
#include "animation/skeleton_animation_controller.h"
#include "animation/skin_controller.h"
#include "animation/target_controllers.h"
#include "scene/transform.h"
#include "assets/codecs/image_codecs.h"
#include "assets/image.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "sound/sound_node.h"
#include "sound/sound_node2.h"
#include "render/device_renderer.h"
#include "render/effects/grass_effect.h"
#include "render/effects/lit_effect.h"
#include "render/effects/second_map_effects.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "support/engine_fixture.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"
#include "world.h"

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
  int depthTargets = 0;
  for (Object* object : textures) {
    Image* image = static_cast<Texture*>(object)->GetImage();
    ASSERT_NE(image, nullptr) << object->GetName().CStr();
    // A shadow map is a depth target, drawn with a colour target beside it:
    // neither has pixels of its own.
    if (image->GetFormat() == kImageDepthTarget) {
      ++depthTargets;
      continue;
    }
    if (std::string(object->GetName().CStr()).rfind("Shadowmap Color", 0) == 0) {
      EXPECT_EQ(image->GetPixels(), nullptr);
      continue;
    }
    EXPECT_NE(image->GetPixels(), nullptr) << object->GetName().CStr();
  }
  EXPECT_EQ(depthTargets, 1) << "the sun's shadow map";
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
    // Two frames: the first shows the lake to its maps' controllers, the
    // second draws the maps before the scene.
    std::vector<uint8_t> rgba;
    for (int frame = 0; frame < 2; ++frame) {
      scene->UpdateGeometricState(frame * 0.05, false);
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      ASSERT_EQ(renderer->BeginFrame(), kOk);
      scene->Draw(renderer);
      renderer->FlushQueues();
      renderer->EndFrame();
    }
    renderer->GetDevice()->ReadPixels(0, 0, 160, 100, &rgba);
    auto at = [&](int x, int y) { return &rgba[(static_cast<size_t>(y) * 160 + x) * 4]; };
    auto dark = [&](int x, int y) { return at(x, y)[0] < 4 && at(x, y)[1] < 4 && at(x, y)[2] < 4; };
    // This view plays letterboxed: black bars of an eighth of the height
    // above and below, and nothing left at the clear colour between them.
    int barsLit = 0, pictureDark = 0;
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 160; ++x) {
        if (y < 12 || y >= 88) barsLit += !dark(x, y);
        if (y >= 13 && y < 87) pictureDark += dark(x, y);
      }
    }
    EXPECT_EQ(barsLit, 0);
    EXPECT_EQ(pictureDark, 0);
    // The brightest pixel is the setting sun, warm and in the upper part;
    // the lake below mirrors it, bright and warm, as far below the far
    // shore as the sun stands above it.
    int brightest = 0, sunX = 0, sunY = 0, mirrored = 0, mirrorY = 0;
    for (int y = 13; y < 87; ++y) {
      for (int x = 0; x < 160; ++x) {
        const uint8_t* p = at(x, y);
        const int sum = p[0] + p[1] + p[2];
        if (y < 50 && sum > brightest) {
          brightest = sum;
          sunX = x;
          sunY = y;
        }
        if (y >= 55 && sum > mirrored && p[0] > p[2]) {
          mirrored = sum;
          mirrorY = y;
        }
      }
    }
    EXPECT_LT(sunY, 50);
    EXPECT_GT(at(sunX, sunY)[0], at(sunX, sunY)[2]);
    EXPECT_GT(mirrored, 300) << "the sun's reflection at row " << mirrorY;
    renderer->SetCamera(nullptr);
  }
  ReleaseRenderer();
}

// Steps a scene's time forward in frames of 40 ms.
void RunFor(Node& scene, double seconds) {
  for (int frame = 0; frame < static_cast<int>(std::lround(seconds / 0.04)); ++frame) {
    scene.UpdateGeometricState(0.04, false);
  }
}

float Horizontal(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.z - b.z); }

// Stops the scene's cuts: a cut to a view of the car starts its drive over.
void HoldCuts(Object* root) {
  Array<Object*> savers(1, 1);
  root->CollectByType(ScreensaverController::TYPE, savers);
  for (Object* saver : savers) static_cast<ScreensaverController*>(saver)->SetActive(false);
}

// The car drives the whole road and back at a car's speed, upright, facing
// where it goes, with its wheels on the road and its engine with it.
TEST_F(DemoContent, TheCarDrivesItsLoopOnTheRoad) {
  Ref<Object> root = LoadMain();
  auto* scene = DynamicCast<SceneNode>(root.Get());
  ASSERT_NE(scene, nullptr);
  auto* car = DynamicCast<Node>(root->FindByName(String("CarGroup")));
  auto* engine = DynamicCast<Node>(root->FindByName(String("Car")));
  ASSERT_NE(car, nullptr);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(car->GetControllerCount(), 1);
  auto* drive = DynamicCast<NodeAnimationController>(car->GetController(0));
  ASSERT_NE(drive, nullptr);
  HoldCuts(root.Get());
  const double period = drive->GetTrackPeriod();
  EXPECT_GT(period, 40.0);
  EXPECT_LT(period, 120.0);

  scene->UpdateGeometricState(0.0, false);
  const Vector3 start = car->GetWorldTransform().translation;
  RunFor(*scene, 5.0);
  const float after5 = Horizontal(car->GetWorldTransform().translation, start);
  EXPECT_GT(after5, 40.0f);
  EXPECT_LT(after5, 5.0f * 16.0f);

  float nearest = 1e9f, farthest = -1e9f, fastest = 0.0f;
  Vector3 previous = car->GetWorldTransform().translation;
  const int frames = static_cast<int>(period / 0.04);
  for (int frame = 0; frame < frames; ++frame) {
    scene->UpdateGeometricState(0.04, false);
    const Transform& pose = car->GetWorldTransform();
    const Vector3 at = pose.translation;
    ASSERT_LT(scenebuild::RoadDistance(at.x, at.z), scenebuild::kRoadHalfWidth - 0.9f) << "frame " << frame;
    const float road = scenebuild::GroundHeight(scenebuild::RoadCentreX(at.z), at.z) + 0.12f;
    ASSERT_NEAR(at.y, road, 0.3f) << "frame " << frame;
    EXPECT_GT(pose.rotation.Rotate(Vector3{0, 1, 0}).y, 0.9f) << "frame " << frame;
    const Vector3 step = at - previous;
    const float moved = std::sqrt(step.Dot(step));
    if (moved > 0.05f) {
      EXPECT_GT(pose.rotation.Rotate(Vector3{0, 0, 1}).Dot(step * (1.0f / moved)), 0.7f) << "frame " << frame;
    }
    fastest = std::max(fastest, moved / 0.04f);
    nearest = std::min(nearest, at.z);
    farthest = std::max(farthest, at.z);
    const Vector3 heard = engine->GetWorldTransform().translation - at;
    EXPECT_LT(heard.Dot(heard), 1e-6f);
    previous = at;
  }
  EXPECT_LT(fastest, 16.0f);
  EXPECT_GT(fastest, 12.0f);
  EXPECT_LT(nearest, -190.0f);
  EXPECT_GT(farthest, 190.0f);
}

// Three flocks on tracks of different periods circle the lake high above
// the water; the first calls only on the near side of its circle.
TEST_F(DemoContent, TheFlocksCircleTheLakeAndOneCallsOnTheNearSide) {
  Ref<Object> root = LoadMain();
  auto* scene = DynamicCast<SceneNode>(root.Get());
  ASSERT_NE(scene, nullptr);
  std::set<double> periods;
  Node* flocks[3] = {};
  for (int i = 0; i < 3; ++i) {
    const std::string name = "Flock" + std::to_string(i + 1);
    flocks[i] = DynamicCast<Node>(root->FindByName(String(name.c_str())));
    ASSERT_NE(flocks[i], nullptr) << name;
    // The track, and the skeleton that flaps the birds' wings.
    ASSERT_EQ(flocks[i]->GetControllerCount(), 2);
    auto* track = DynamicCast<NodeAnimationController>(flocks[i]->GetController(0));
    ASSERT_NE(track, nullptr);
    periods.insert(track->GetTrackPeriod());
  }
  EXPECT_EQ(periods.size(), 3u);
  // A cut to the view of a flock starts that flock's track over.
  HoldCuts(root.Get());
  auto* calls = DynamicCast<SoundNode>(root->FindByName(String("BirdCalls")));
  ASSERT_NE(calls, nullptr);
  ASSERT_NE(DynamicCast<SoundNodeAnimationController>(calls->GetController(0)), nullptr);
  const bool audible = calls->GetChannel() != 0;

  const double first = *std::max_element(periods.begin(), periods.end());
  double playingZ = 0.0, quietZ = 0.0;
  int playing = 0, quiet = 0;
  Vector3 start[3];
  scene->UpdateGeometricState(0.0, false);
  for (int i = 0; i < 3; ++i) start[i] = flocks[i]->GetWorldTransform().translation;
  float travelled[3] = {};
  for (int frame = 0; frame < static_cast<int>(first / 0.04); ++frame) {
    scene->UpdateGeometricState(0.04, false);
    for (int i = 0; i < 3; ++i) {
      const Vector3 at = flocks[i]->GetWorldTransform().translation;
      EXPECT_GT(at.y, 10.0f);
      EXPECT_GT(scenebuild::LakeDepthFactor(at.x, at.z), -0.6f) << "flock " << i + 1 << " strays far from the lake";
      travelled[i] = std::max(travelled[i], Horizontal(at, start[i]));
    }
    const float z = flocks[0]->GetWorldTransform().translation.z;
    if (calls->IsPlaying()) {
      playingZ += z;
      ++playing;
    } else {
      quietZ += z;
      ++quiet;
    }
  }
  for (float distance : travelled) EXPECT_GT(distance, 50.0f);
  if (!audible) GTEST_SKIP() << "no sound here: the calls' switching is not seen";
  ASSERT_GT(playing, 0);
  ASSERT_GT(quiet, 0);
  EXPECT_LT(playingZ / playing + 40.0, quietZ / quiet);
}

// Signed turn in degrees of a rotation about one axis, seen along `axis`.
float TurnDegrees(const Quaternion& q, const Vector3& axis) {
  const float along = q.x * axis.x + q.y * axis.y + q.z * axis.z;
  return 2.0f * std::atan2(along, q.w) * 180.0f / 3.14159265f;
}

// The characters: a person by the fire on a skeleton of more than ten
// bones whose cycle comes round to where it began, and birds whose wings
// beat through a wide arc, each bird out of step with the others.
TEST_F(DemoContent, TheSkinnedCharactersMoveInLoopingCycles) {
  Ref<Object> root = LoadMain();
  auto* scene = DynamicCast<SceneNode>(root.Get());
  ASSERT_NE(scene, nullptr);
  HoldCuts(root.Get());
  auto* sitter = DynamicCast<SkinController>(root->FindByName(String("SitterSkin")));
  auto* sitterMesh = DynamicCast<GeometryNode>(root->FindByName(String("SitterMesh")));
  auto* skeleton = DynamicCast<SkeletonAnimationController>(root->FindByName(String("SitterSkeleton")));
  ASSERT_NE(sitter, nullptr);
  ASSERT_NE(sitterMesh, nullptr);
  ASSERT_NE(skeleton, nullptr);
  EXPECT_GE(sitter->GetBoneCount(), 10);
  EXPECT_GE(skeleton->GetBoneControllerCount(), 8);
  EXPECT_EQ(sitterMesh->GetController(0), sitter);
  // The stored effects keep their skins for a renderer to draw with.
  auto* sitterEffect = DynamicCast<Texture1DLEffect>(sitterMesh->GetEffect());
  ASSERT_NE(sitterEffect, nullptr);
  EXPECT_EQ(sitterEffect->GetSkinController(), sitter);
  for (const char* flock : {"Flock1Mesh", "Flock2Mesh", "Flock3Mesh"}) {
    auto* mesh = DynamicCast<GeometryNode>(root->FindByName(String(flock)));
    ASSERT_NE(mesh, nullptr) << flock;
    auto* effect = DynamicCast<TextureEffect>(mesh->GetEffect());
    ASSERT_NE(effect, nullptr) << flock;
    EXPECT_NE(DynamicCast<SkinController>(effect->GetSkinController()), nullptr) << flock;
  }
  // The lit skinned text needs the bind-pose normals.
  ASSERT_NE(DynamicCast<Vector3Buffer>(sitter->GetNormals()), nullptr);
  EXPECT_EQ(sitter->GetNormals()->GetCount(), sitter->GetVertices()->GetCount());
  EXPECT_TRUE(sitter->FitsShaderPalette());

  const double cycle = skeleton->GetTrackPeriod();
  ASSERT_GT(cycle, 4.0);
  auto posed = [&] {
    const auto* buffer = static_cast<Vector3Buffer*>(sitterMesh->GetVertexBuffer());
    return std::vector<Vector3>(buffer->Elements(), buffer->Elements() + buffer->GetCount());
  };
  // Without a renderer the skin blends on the processor, in world space.
  scene->UpdateGeometricState(0.0, false);
  const std::vector<Vector3> start = posed();
  const Vector3 seat = sitter->GetBone(0)->GetWorldTransform().translation;
  float farthest = 0.0f, moved = 0.0f;
  const int steps = static_cast<int>(cycle / 0.05 + 0.5);
  for (int step = 1; step <= steps; ++step) {
    scene->UpdateGeometricState(0.05, false);
    const std::vector<Vector3> now = posed();
    for (size_t v = 0; v < now.size(); ++v) {
      farthest = std::max(farthest, Horizontal(now[v], seat) + std::fabs(now[v].y - seat.y));
      if (step < steps) moved = std::max(moved, Horizontal(now[v], start[v]) + std::fabs(now[v].y - start[v].y));
    }
  }
  EXPECT_LT(farthest, 2.5f) << "a part of the person flies off";
  EXPECT_GT(moved, 0.15f) << "the person hardly moves";
  const std::vector<Vector3> end = posed();
  for (size_t v = 0; v < end.size(); ++v) {
    ASSERT_LT(Horizontal(end[v], start[v]) + std::fabs(end[v].y - start[v].y), 0.01f) << "the cycle has a seam";
  }

  // The first flock's birds: the left wing's lift over two cycles.
  auto* flockSkeleton = DynamicCast<SkeletonAnimationController>(root->FindByName(String("Flock1Skeleton")));
  ASSERT_NE(flockSkeleton, nullptr);
  std::vector<Node*> wings;
  for (int bird = 1; bird <= 5; ++bird) {
    const std::string name = "Flock1Bird" + std::to_string(bird) + "LeftWing";
    wings.push_back(DynamicCast<Node>(root->FindByName(String(name.c_str()))));
    ASSERT_NE(wings.back(), nullptr) << name;
  }
  std::vector<float> low(wings.size(), 180.0f), high(wings.size(), -180.0f);
  float apart = 0.0f;
  for (int step = 0; step < static_cast<int>(2.0 * flockSkeleton->GetTrackPeriod() / 0.04); ++step) {
    scene->UpdateGeometricState(0.04, false);
    std::vector<float> lift;
    for (size_t i = 0; i < wings.size(); ++i) {
      // The wings turn about the bird's forward axis, near +z.
      lift.push_back(TurnDegrees(wings[i]->GetLocalTransform().rotation, Vector3{0, 0, 1}));
      low[i] = std::min(low[i], lift.back());
      high[i] = std::max(high[i], lift.back());
    }
    apart = std::max(apart, *std::max_element(lift.begin(), lift.end()) - *std::min_element(lift.begin(), lift.end()));
  }
  for (size_t i = 0; i < wings.size(); ++i) EXPECT_GT(high[i] - low[i], 50.0f) << "bird " << i + 1;
  EXPECT_GT(apart, 20.0f) << "the birds beat in step";
}

// The particles, flares and foliage: flames low over the fire, smoke
// rising well above it, sparks thrown up; leaves that sway about their
// places and never wander; the head lights at the car's front; the sun's
// glow where the sun is.
TEST_F(DemoContent, TheFireBurnsAndTheLeavesSway) {
  Ref<Object> root = LoadMain();
  auto* scene = DynamicCast<SceneNode>(root.Get());
  ASSERT_NE(scene, nullptr);
  HoldCuts(root.Get());
  auto* fire = DynamicCast<Node>(root->FindByName(String("CampfireParticles")));
  auto* flames = DynamicCast<SpriteParticleSystem>(root->FindByName(String("FireFlames")));
  auto* smoke = DynamicCast<SpriteParticleSystem>(root->FindByName(String("FireSmoke")));
  auto* sparks = DynamicCast<SpriteParticleSystem>(root->FindByName(String("FireSparks")));
  auto* leaves = DynamicCast<Foliage>(root->FindByName(String("Foliage")));
  auto* flies = DynamicCast<SpriteParticleSystem>(root->FindByName(String("Fireflies")));
  for (Object* found : std::initializer_list<Object*>{fire, flames, smoke, sparks, leaves, flies}) {
    ASSERT_NE(found, nullptr);
  }
  int sparksSeen = 0;
  float highestFlame = 0.0f, smokeHeight = 0.0f, leafSway = 0.0f, leafDrift = 0.0f;
  Vector3 at;
  for (int frame = 0; frame < 160; ++frame) {
    scene->UpdateGeometricState(0.05, false);
    at = fire->GetWorldTransform().translation;
    for (const Particle* p = flames->GetFirstParticle(); p != nullptr; p = p->next) {
      ASSERT_LT(Horizontal(p->position, at), 2.0f);
      highestFlame = std::max(highestFlame, p->position.y - at.y);
    }
    sparksSeen += sparks->GetLiveCount();
    for (const Particle* p = leaves->GetFirstParticle(); p != nullptr; p = p->next) {
      const Vector3 d = p->position - p->rest;
      leafDrift = std::max(leafDrift, std::sqrt(d.Dot(d)));
      leafSway = std::max(leafSway, std::fabs(d.x) + std::fabs(d.z));
    }
  }
  float smokeSum = 0.0f;
  for (const Particle* p = smoke->GetFirstParticle(); p != nullptr; p = p->next) smokeSum += p->position.y - at.y;
  ASSERT_GT(smoke->GetLiveCount(), 10);
  smokeHeight = smokeSum / static_cast<float>(smoke->GetLiveCount());
  EXPECT_GT(flames->GetLiveCount(), 15);
  EXPECT_LT(highestFlame, 3.0f) << "flames fly off";
  EXPECT_GT(smokeHeight, 2.5f);
  EXPECT_GT(sparksSeen, 0);
  EXPECT_EQ(leaves->GetLiveCount(), leaves->GetMaximumParticles());
  EXPECT_GT(leaves->GetLiveCount(), 200);
  EXPECT_GT(leafSway, 0.1f) << "the leaves do not sway";
  EXPECT_LT(leafDrift, 0.5f) << "leaves wander from their places";
  EXPECT_GT(flies->GetLiveCount(), 0);

  auto* car = DynamicCast<SceneNode>(root->FindByName(String("CarGroup")));
  ASSERT_NE(car, nullptr);
  for (const char* name : {"HeadlightLeft", "HeadlightRight"}) {
    auto* light = DynamicCast<Flare>(root->FindByName(String(name)));
    ASSERT_NE(light, nullptr) << name;
    EXPECT_EQ(light->GetParent(), car);
    EXPECT_GT(light->GetLocalTransform().translation.z, 2.0f) << "at the front";
  }
  auto* sun = DynamicCast<Flare>(root->FindByName(String("SunFlare")));
  ASSERT_NE(sun, nullptr);
  const Vector3 toSun = scenebuild::SunDirection();
  const Vector3 p = sun->GetWorldTransform().translation;
  EXPECT_GT(p.Dot(toSun) / std::sqrt(p.Dot(p)), 0.9998f);
}

// The camera sets: enough of them, of a length a viewer can follow, the
// far views among them, and no camera inside a hill or a tree at the start,
// middle or end of its set.
TEST_F(DemoContent, TheViewsCutBetweenSetsThatKeepClearOfHillsAndTrees) {
  Ref<Object> root = LoadMain();
  auto* scene = DynamicCast<SceneNode>(root.Get());
  ASSERT_NE(scene, nullptr);
  Array<Object*> savers(1, 1);
  root->CollectByType(ScreensaverController::TYPE, savers);
  ASSERT_EQ(savers.Count(), 1);
  auto* saver = static_cast<ScreensaverController*>(savers[0]);
  HoldCuts(root.Get());
  ASSERT_GE(saver->GetSetCount(), 12);

  // Each tree's box: the trees are crossed quads, eight vertices each.
  struct Box {
    Vector3 low, high;
  };
  std::vector<Box> trees;
  for (const char* name : {"Conifers", "Broadleaves", "FireSideTree"}) {
    auto* mesh = DynamicCast<GeometryNode>(root->FindByName(String(name)));
    ASSERT_NE(mesh, nullptr) << name;
    auto* buffer = static_cast<Buffer*>(mesh->GetVertexBuffer());
    const auto* vertices = static_cast<const Vector3*>(buffer->GetData());
    for (int32_t first = 0; first + 8 <= buffer->GetCount(); first += 8) {
      Box box{vertices[first], vertices[first]};
      for (int32_t i = first; i < first + 8; ++i) {
        box.low = Vector3{std::min(box.low.x, vertices[i].x), std::min(box.low.y, vertices[i].y),
                          std::min(box.low.z, vertices[i].z)};
        box.high = Vector3{std::max(box.high.x, vertices[i].x), std::max(box.high.y, vertices[i].y),
                           std::max(box.high.z, vertices[i].z)};
      }
      trees.push_back(box);
    }
  }
  ASSERT_GT(trees.size(), 100u);

  double total = 0.0;
  std::set<std::string> names;
  for (int32_t i = 0; i < saver->GetSetCount(); ++i) {
    const CameraSet* set = saver->GetSet(i);
    Camera* camera = set->camera.Get();
    ASSERT_NE(camera, nullptr);
    const std::string name = camera->GetName().CStr();
    names.insert(name);
    // How long the set will stay once chosen.
    double duration = set->duration;
    if (set->cameraAnimation && set->cameraAnimation->GetTrackPeriod() > 0.0) {
      duration = set->cameraAnimation->GetTrackPeriod();
    }
    if (set->targetAnimation && set->targetAnimation->GetTrackPeriod() < duration) {
      duration = set->targetAnimation->GetTrackPeriod();
    }
    EXPECT_GE(duration, 10.0) << name;
    EXPECT_LE(duration, 20.0) << name;
    total += duration;
    // Start, middle and end, its tracks started as a cut starts them.
    if (set->cameraAnimation) set->cameraAnimation->Reset();
    if (set->targetAnimation) set->targetAnimation->Reset();
    double at = 0.0;
    for (double when : {0.0, duration / 2.0, duration - 0.01}) {
      while (at + 0.1 < when) {
        scene->UpdateGeometricState(0.1, false);
        at += 0.1;
      }
      scene->UpdateGeometricState(when - at, false);
      at = when;
      const Vector3 eye = camera->GetWorldTransform().translation;
      const float clearance = camera->GetNearPlane();
      EXPECT_GE(eye.y - scenebuild::GroundHeight(eye.x, eye.z), clearance + 0.5f) << name << " at " << when << " s";
      for (const Box& tree : trees) {
        const float dx = std::max({tree.low.x - eye.x, 0.0f, eye.x - tree.high.x});
        const float dy = std::max({tree.low.y - eye.y, 0.0f, eye.y - tree.high.y});
        const float dz = std::max({tree.low.z - eye.z, 0.0f, eye.z - tree.high.z});
        ASSERT_GE(std::sqrt(dx * dx + dy * dy + dz * dz), clearance) << name << " at " << when << " s is in a tree";
      }
    }
  }
  // With half the sets barred after each cut, a view comes back after a
  // minute at the soonest.
  EXPECT_GE(total, 180.0);
  for (const char* far : {"Camera03", "Camera04", "Camera06", "Camera11", "Camera17", "Camera18"}) {
    EXPECT_TRUE(names.count(far)) << far;
  }
  // The close fire view hides the tree that stands before it.
  auto* close = DynamicCast<Camera>(root->FindByName(String("Camera09")));
  ASSERT_NE(close, nullptr);
  bool hidesTree = false;
  for (int32_t i = 0; i < close->GetControllerCount(); ++i) {
    if (auto* culled = DynamicCast<CameraCulledController>(close->GetController(i))) {
      hidesTree = culled->GetNodeCount() == 1 && culled->GetNode(0) == root->FindByName(String("FireSideTree"));
    }
  }
  EXPECT_TRUE(hidesTree);
}

// Drawn from a roadside view of where the car starts, it has gone after
// five seconds.
TEST_F(DemoContent, TheCarLeavesTheRoadsideView) {
  DeviceRenderer* renderer = OpenOffscreenRenderer(160, 90, "demo");
  if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
  {
    Ref<Object> root = LoadMain();
    auto* scene = DynamicCast<SceneNode>(root.Get());
    ASSERT_NE(scene, nullptr);
    HoldCuts(root.Get());
    auto* car = DynamicCast<Node>(root->FindByName(String("CarGroup")));
    ASSERT_NE(car, nullptr);
    scene->UpdateGeometricState(0.0, false);
    const Vector3 start = car->GetWorldTransform().translation;
    Ref<Camera> camera(new Camera(String("roadside")));
    camera->SetNearPlane(0.3f);
    SetTranslation(camera->LocalTransform(), start + Vector3{4.0f, 1.5f, 13.0f});
    SetDirection(*camera, start - camera->GetLocalTransform().translation);
    ASSERT_EQ(scene->AttachChild(camera.Get()), kOk);
    renderer->SetCamera(camera.Get());
    auto redPixels = [&] {
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      EXPECT_EQ(renderer->BeginFrame(), kOk);
      scene->Draw(renderer);
      renderer->FlushQueues();
      renderer->EndFrame();
      std::vector<uint8_t> rgba;
      renderer->GetDevice()->ReadPixels(0, 0, 160, 90, &rgba);
      int red = 0;
      for (size_t i = 0; i + 3 < rgba.size(); i += 4) red += rgba[i] > 90 && rgba[i] > 2 * rgba[i + 1] && rgba[i] > 2 * rgba[i + 2];
      return red;
    };
    scene->UpdateGeometricState(0.0, false);
    const int before = redPixels();
    RunFor(*scene, 5.0);
    const int after = redPixels();
    EXPECT_GT(before, 40);
    EXPECT_LT(after, before / 10);
    renderer->SetCamera(nullptr);
  }
  ReleaseRenderer();
}

// Grass and the trees' crowns sway with the wind from their roots: their
// effects weigh the wind by 1 - v, and v is 1 at the foot of every quad.
TEST_F(DemoContent, GrassAndTreeCrownsSwayFromTheirRoots) {
  Ref<Object> root = LoadMain();
  ASSERT_TRUE(root);
  for (const char* name : {"GrassPatch1", "Conifers", "Broadleaves", "FireSideTree"}) {
    auto* geometry = DynamicCast<GeometryNode>(root->FindByName(String(name)));
    ASSERT_NE(geometry, nullptr) << name;
    auto* effect = DynamicCast<GrassEffect>(geometry->GetEffect());
    ASSERT_NE(effect, nullptr) << name;
    EXPECT_EQ(effect->GetSwaySet(), 0) << name;
    EXPECT_GT(effect->windAmplitude, 0.05f) << name;
    EXPECT_LT(effect->windAmplitude, 0.5f) << name;
    auto* positions = DynamicCast<Vector3Buffer>(geometry->GetVertexBuffer());
    auto* uv = DynamicCast<Vector2Buffer>(geometry->GetTexCoordBuffer(0));
    ASSERT_NE(positions, nullptr);
    ASSERT_NE(uv, nullptr);
    ASSERT_EQ(positions->GetCount() % 4, 0) << name;
    for (int32_t quad = 0; quad < positions->GetCount(); quad += 4) {
      // Each quad: foot left (v 1), top left (v 0), top right, foot right.
      EXPECT_FLOAT_EQ(uv->Elements()[quad].y, 1.0f) << name;
      EXPECT_FLOAT_EQ(uv->Elements()[quad + 1].y, 0.0f) << name;
      EXPECT_GT(positions->Elements()[quad + 1].y, positions->Elements()[quad].y) << name;
    }
  }
}

// The lake carries a normal map made at load from the ripples' heights:
// one byte a pixel in the file, three after the first update, leaning
// every way but mostly up.
TEST_F(DemoContent, TheLakesNormalMapIsMadeFromItsRipples) {
  Ref<Object> root = LoadMain();
  ASSERT_TRUE(root);
  auto* lake = DynamicCast<GeometryNode>(root->FindByName(String("Lake")));
  ASSERT_NE(lake, nullptr);
  auto* effect = DynamicCast<NormalmapTextureEffect>(lake->GetEffect());
  ASSERT_NE(effect, nullptr);
  auto* normals = DynamicCast<Texture>(effect->GetNormalmap());
  ASSERT_NE(normals, nullptr);
  ASSERT_NE(normals->GetImage(), nullptr);
  EXPECT_EQ(normals->GetImage()->GetFormat(), kImageA8);
  effect->Update(0.04);
  const Image& image = *normals->GetImage();
  ASSERT_EQ(image.GetFormat(), kImageRGB8);
  int left = 0, right = 0, up = 0;
  const uint32_t count = image.GetWidth() * image.GetHeight();
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* n = image.GetPixels() + i * 3;
    left += n[0] < 120;
    right += n[0] > 136;
    up += n[2] > 200;
  }
  EXPECT_GT(left, static_cast<int>(count / 10));
  EXPECT_GT(right, static_cast<int>(count / 10));
  EXPECT_GT(up, static_cast<int>(count * 9 / 10));
}

// The car and the campfire's stones are lit by the sun through the lit
// effect, with a normal for every vertex.
TEST_F(DemoContent, TheCarAndTheStonesAreLitByTheSun) {
  Ref<Object> root = LoadMain();
  ASSERT_TRUE(root);
  Object* sun = root->FindByName(String("Sun"));
  ASSERT_NE(sun, nullptr);
  for (const char* name : {"CarBody", "CampfireStones"}) {
    auto* geometry = DynamicCast<GeometryNode>(root->FindByName(String(name)));
    ASSERT_NE(geometry, nullptr) << name;
    auto* effect = DynamicCast<Texture1DLEffect>(geometry->GetEffect());
    ASSERT_NE(effect, nullptr) << name;
    EXPECT_EQ(effect->GetLight(), sun) << name;
    auto* normals = DynamicCast<Vector3Buffer>(geometry->GetNormalBuffer());
    ASSERT_NE(normals, nullptr) << name;
    ASSERT_EQ(normals->GetCount(), geometry->GetVertexBuffer()->GetCount()) << name;
    for (int32_t i = 0; i < normals->GetCount(); ++i) {
      const Vector3& n = normals->Elements()[i];
      EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-3f) << name << " vertex " << i;
    }
  }
}

// The terrain's light map has the hills' shadows in it: a texel the hills
// hide from the low sun (found here by its own march towards the sun) is at
// least 30 % darker than the brightest open texel of the same slope.
TEST_F(DemoContent, TheTerrainLightMapHasTheHillsShadows) {
  Ref<Object> root = LoadMain();
  ASSERT_TRUE(root);
  auto* terrain = DynamicCast<GeometryNode>(root->FindByName(String("Terrain")));
  ASSERT_NE(terrain, nullptr);
  auto* effect = DynamicCast<LightmapTextureEffect>(terrain->GetEffect());
  ASSERT_NE(effect, nullptr);
  auto* lightmap = DynamicCast<Texture>(effect->GetLightmap());
  ASSERT_NE(lightmap, nullptr);
  const Image& image = *lightmap->GetImage();
  ASSERT_EQ(image.GetFormat(), kImageRGB8);
  const int size = static_cast<int>(image.GetWidth());
  const Vector3 sun = scenebuild::SunDirection();
  auto hidden = [&](const Vector3& p) {
    for (float t = 2.0f; t < 420.0f; t += 2.0f) {
      const Vector3 q = p + sun * t;
      if (std::fabs(q.x) > scenebuild::kWorldSize / 2 || std::fabs(q.z) > scenebuild::kWorldSize / 2 || q.y > 90.0f)
        return false;
      if (scenebuild::GroundHeight(q.x, q.z) > q.y + 0.3f) return true;
    }
    return false;
  };
  struct Sample {
    Vector3 normal;
    int brightness;
  };
  std::vector<Sample> open, shaded;
  for (int row = 4; row < size; row += 8) {
    for (int column = 4; column < size; column += 8) {
      // Rows are kept bottom first; the picture's top row is the north edge.
      const float texel = scenebuild::kWorldSize / static_cast<float>(size);
      const float x = -scenebuild::kWorldSize / 2 + (column + 0.5f) * texel;
      const float z = -scenebuild::kWorldSize / 2 + (row + 0.5f) * texel;
      const Vector3 normal = scenebuild::GroundNormal(x, z);
      if (normal.Dot(sun) < 0.3f) continue;  // the sun barely lights it anyway
      const uint8_t* p = image.GetPixels() + (static_cast<size_t>(row) * size + column) * 3;
      const Sample sample{normal, p[0] + p[1] + p[2]};
      (hidden(Vector3{x, scenebuild::GroundHeight(x, z) + 0.05f, z}) ? shaded : open).push_back(sample);
    }
  }
  ASSERT_GT(shaded.size(), 20u);
  int compared = 0;
  for (const Sample& s : shaded) {
    int brightest = -1;
    for (const Sample& o : open) {
      if ((o.normal - s.normal).Length() < 0.04f) brightest = std::max(brightest, o.brightness);
    }
    if (brightest < 0) continue;
    ++compared;
    EXPECT_LE(s.brightness, 0.7 * brightest) << "shaded " << s.brightness << " open " << brightest;
  }
  EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace klx
