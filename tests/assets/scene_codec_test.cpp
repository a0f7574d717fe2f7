#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "animation/animation_controller.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "scene/scene_node.h"
#include "support/engine_fixture.h"
#include "support/test_classes.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx {
namespace {

using test::TestController;
using test::TestHolder;

class SceneCodecTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  }

  // A memory file in a directory of its own, holding `bytes`.
  MemoryFile* FileWith(const char* name, const std::vector<uint8_t>& bytes) {
    auto* file = new MemoryFile(String(name));
    auto* copy = new uint8_t[bytes.size() + 1];
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    file->SetContent(copy, static_cast<int32_t>(bytes.size()));
    directory_.AddFile(file);
    return file;
  }

  // Saves through an operating-system file and returns its bytes.
  std::vector<uint8_t> Saved(Object* root) {
    // Named per process: CTest runs the cases of this suite side by side.
    const std::string path = ::testing::TempDir() + "klx_scene_test_" + std::to_string(getpid()) + ".STR";
    auto* file = new VirtualFile(String(path.c_str()));
    directory_.AddFile(file);
    EXPECT_EQ(SaveScene(file, root), kOk);
    EXPECT_EQ(file->Open(VirtualFile::kRead), kOk);
    std::vector<uint8_t> bytes(file->GetBuffer(), file->GetBuffer() + file->GetSize());
    file->Close();
    std::remove(file->GetFullPath().CStr());
    return bytes;
  }

  VirtualDirectory directory_{String()};
};

std::vector<uint8_t> Header(int32_t major, int32_t minor, int32_t build) {
  std::vector<uint8_t> bytes(12);
  const int32_t values[3] = {major, minor, build};
  std::memcpy(bytes.data(), values, 12);
  return bytes;
}

std::vector<uint8_t> NullRootFile(int32_t major, int32_t minor, int32_t build) {
  std::vector<uint8_t> bytes = Header(major, minor, build);
  bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  return bytes;
}

// A scene file whose root is a chain of `levels` holders, each written
// inline inside the one before it.
std::vector<uint8_t> ChainFile(int32_t levels) {
  std::vector<uint8_t> bytes = Header(0, 1, 2);
  auto put32 = [&](int32_t value) {
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + 4);
  };
  for (int32_t i = 0; i < levels; ++i) {
    put32(i + 1);  // ID
    put32(11);
    bytes.insert(bytes.end(), {'T', 'E', 'S', 'T', '.', 'H', 'o', 'l', 'd', 'e', 'r'});
    put32(0);  // empty name
    put32(0);  // no controllers
  }
  put32(-1);  // the innermost link
  for (int32_t i = 0; i < levels; ++i) put32(0);  // every holder's value
  return bytes;
}

TEST_F(SceneCodecTest, AcceptsTheEngineVersionAndNewer) {
  struct Case {
    int32_t major, minor, build;
    bool loads;
  } cases[] = {{0, 1, 2, true}, {0, 2, 0, true}, {1, 0, 0, true}, {0, 1, 1, false}, {0, 0, 99, false}};
  for (const Case& c : cases) {
    Ref<Object> root(new TestHolder(String("untouched")));
    Object* before = root.Get();
    const int result = LoadScene(FileWith("v.STR", NullRootFile(c.major, c.minor, c.build)), &root);
    if (c.loads) {
      EXPECT_EQ(result, kOk) << c.major << "." << c.minor << "." << c.build;
      EXPECT_EQ(root.Get(), nullptr);  // a null root link is a valid scene
    } else {
      EXPECT_EQ(result, kFailed) << c.major << "." << c.minor << "." << c.build;
      EXPECT_EQ(root.Get(), before);  // left unchanged
    }
  }
}

// A node driven along a two-keyframe path, as a scene file holds it.
Ref<SceneNode> AnimatedScene() {
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<SceneNode> car(new SceneNode(String("car")));
  Ref<NodeAnimation> path(new NodeAnimation(String("road")));
  for (double time : {0.0, 0.5}) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = time;
    keyframe->translation = Vector3{time > 0.0 ? 10.0f : 0.0f, 0.0f, 0.0f};
    path->AddKeyframe(std::move(keyframe));
  }
  auto* drive = new NodeAnimationController(String("drive"));
  drive->AddAnimation(path.Get());
  AnimationFrame frame;
  frame.animation = path;
  frame.end = 1.0;
  drive->AddFrame(frame);
  drive->SetTrackPeriod(8.0);
  EXPECT_EQ(car->AttachController(drive), kOk);
  EXPECT_EQ(root->AttachChild(car.Get()), kOk);
  return root;
}

TEST_F(SceneCodecTest, AnAnimatedNodeMovesAfterItsRoundTrip) {
  Ref<Object> loaded;
  ASSERT_EQ(LoadScene(FileWith("animated.STR", Saved(AnimatedScene().Get())), &loaded), kOk);
  auto* root = DynamicCast<SceneNode>(loaded.Get());
  ASSERT_NE(root, nullptr);
  auto* car = DynamicCast<Node>(root->FindByName(String("car")));
  ASSERT_NE(car, nullptr);
  EXPECT_NE(root->FindByName(String("road")), nullptr) << "found through the controller's animations";
  root->UpdateGeometricState(2.0, false);
  EXPECT_NEAR(car->GetWorldTransform().translation.x, 5.0f, 1e-5f);
}

TEST_F(SceneCodecTest, AnAnimationThatRunsItsOwnControllerIsRefused) {
  // Found by fuzzing: an animation whose controller list links back to the
  // controller holding it, a loop of counted references (the leak checker
  // of the sanitizer build watches).
  Ref<SceneNode> root(new SceneNode(String("root")));
  auto* drive = new NodeAnimationController(String("drive"));
  ASSERT_EQ(root->AttachController(drive), kOk);
  Ref<NodeAnimation> road(new NodeAnimation(String("road")));
  ASSERT_EQ(road->AttachController(drive), kOk);  // drive holds nothing yet
  drive->AddAnimation(road.Get());                // the loop, made in memory
  const std::vector<uint8_t> bytes = Saved(root.Get());
  EXPECT_EQ(road->DetachAllControllers(), kOk);
  Ref<Object> loaded;
  EXPECT_NE(LoadScene(FileWith("loop.STR", bytes), &loaded), kOk);
  EXPECT_FALSE(loaded);
  bool refused = false;
  for (const test::LoggedLine& line : log_->lines) {
    refused = refused || line.text.rfind(test::Text("Невозможно загрузить анимацию. Имя[drive] ID["), 0) == 0;
  }
  EXPECT_TRUE(refused);
}

TEST_F(SceneCodecTest, AnAnimationsOwnControllerHoldingItIsRefused) {
  // Found by fuzzing: the animation's own controller links back to the
  // animation, which is still loading when the link is read; the loop
  // closes when the animation attaches that controller.
  Ref<SceneNode> root = AnimatedScene();
  auto* drive = static_cast<NodeAnimationController*>(root->FindByName(String("drive")));
  Animation* road = drive->GetAnimation(0);
  auto* inner = new NodeAnimationController(String("inner"));
  ASSERT_EQ(road->AttachController(inner), kOk);
  inner->AddAnimation(road);  // the loop, made in memory
  auto* again = new NodeAnimationController(String("again"));
  again->AddAnimation(road);
  Ref<Controller> keep(again);
  EXPECT_EQ(road->AttachController(again), kInvalidArg) << "a controller holding the object is refused";
  const std::vector<uint8_t> bytes = Saved(root.Get());
  EXPECT_EQ(road->DetachAllControllers(), kOk);
  Ref<Object> loaded;
  EXPECT_NE(LoadScene(FileWith("inner.STR", bytes), &loaded), kOk);
  EXPECT_FALSE(loaded);
}

TEST_F(SceneCodecTest, RecognisesOnlyItsExtensions) {
  Ref<Object> root;
  EXPECT_EQ(LoadScene(FileWith("a.str", NullRootFile(0, 1, 2)), &root), kOk);
  EXPECT_EQ(LoadScene(FileWith("a.Str", NullRootFile(0, 1, 2)), &root), kOk);
  EXPECT_EQ(LoadScene(FileWith("a.sTR", NullRootFile(0, 1, 2)), &root), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Не найден кодек для файла [a.sTR].")));
  EXPECT_EQ(LoadScene(nullptr, &root), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Указатель на файл или сцену равен 0.")));
}

TEST_F(SceneCodecTest, RoundTripKeepsClassesNamesValuesSharingAndCycles) {
  Ref<TestHolder> root(new TestHolder(String("Root")));
  Ref<TestHolder> shared(new TestHolder(String("Shared")));
  Ref<TestHolder> middle(new TestHolder(String("Middle")));
  root->value = 1;
  middle->value = 2;
  shared->value = 3;
  root->link = middle;
  middle->link = shared;
  shared->link = root;  // a back link to the root
  auto* controllerA = new TestController(String("A"));
  auto* controllerB = new TestController(String("B"));
  EXPECT_EQ(root->AttachController(controllerA), kOk);
  EXPECT_EQ(root->AttachController(controllerB), kOk);
  EXPECT_EQ(middle->AttachController(controllerA), kOk);  // one controller on two objects

  const std::vector<uint8_t> bytes = Saved(root.Get());
  shared->link = nullptr;  // break the cycle so the objects made above are freed
  ASSERT_GE(bytes.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12), Header(0, 1, 2));

  Ref<Object> loaded;
  ASSERT_EQ(LoadScene(FileWith("Main.STR", bytes), &loaded), kOk);
  auto* rootIn = DynamicCast<TestHolder>(loaded.Get());
  ASSERT_NE(rootIn, nullptr);
  EXPECT_EQ(rootIn->GetName(), "Root");
  EXPECT_NE(rootIn->GetID(), root->GetID());
  EXPECT_EQ(rootIn->value, 1);
  auto* middleIn = DynamicCast<TestHolder>(rootIn->link.Get());
  ASSERT_NE(middleIn, nullptr);
  EXPECT_EQ(middleIn->value, 2);
  auto* sharedIn = DynamicCast<TestHolder>(middleIn->link.Get());
  ASSERT_NE(sharedIn, nullptr);
  EXPECT_EQ(sharedIn->GetName(), "Shared");
  EXPECT_EQ(sharedIn->link.Get(), rootIn);
  ASSERT_EQ(rootIn->GetControllerCount(), 2);
  EXPECT_EQ(rootIn->GetController(0)->GetName(), "B");
  EXPECT_EQ(rootIn->GetController(1)->GetName(), "A");
  EXPECT_EQ(middleIn->GetController(0), rootIn->GetController(1));
  EXPECT_EQ(rootIn->GetController(0)->GetRTTI().GetName(), "TEST.Controller");
  sharedIn->link = nullptr;  // break the loaded cycle
}

TEST_F(SceneCodecTest, ATruncatedFileFailsWithTheWholeChainInTheLog) {
  Ref<TestHolder> root(new TestHolder(String("Root")));
  auto* controller = new TestController(String("A"));
  EXPECT_EQ(root->AttachController(controller), kOk);
  std::vector<uint8_t> bytes = Saved(root.Get());
  // Cut the controller's active flag and everything after it (the root's
  // null link and value).
  bytes.resize(bytes.size() - 9);
  Ref<Object> loaded;
  log_->lines.clear();
  EXPECT_EQ(LoadScene(FileWith("Cut.STR", bytes), &loaded), kFailed);
  EXPECT_EQ(loaded.Get(), nullptr);
  std::vector<test::LoggedLine> failures;
  for (const test::LoggedLine& line : log_->lines) {
    if (line.level != kLogInfo) failures.push_back(line);
  }
  // The IDs are those of the objects the load made.
  const int32_t rootID = Object::PeekNextID() - 2;
  const int32_t controllerID = Object::PeekNextID() - 1;
  const std::vector<std::string> expected = {
      test::Text("Невозможно считать данные. Буффер переполнен."),
      test::Text("Невозможно загрузить флаг активности контроллера. ID[%d] Имя[A]", controllerID),
      test::Text("Невозможно загрузить контроллер объекта. Имя[Root] ID[%d]", rootID),
      test::Text("Неудачна загрузка сцены из файла [Cut.STR]."),
  };
  ASSERT_EQ(failures.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(failures[i].text, expected[i]) << i;
  EXPECT_EQ(failures[0].level, kLogWarning);
  EXPECT_EQ(failures[1].level, kLogError);
}

TEST_F(SceneCodecTest, DamagedLinksFailCleanly) {
  // A link to an unread ID with no class name after it.
  std::vector<uint8_t> dangling = Header(0, 1, 2);
  dangling.insert(dangling.end(), {5, 0, 0, 0});
  Ref<Object> root;
  EXPECT_EQ(LoadScene(FileWith("d.STR", dangling), &root), kFailed);

  // A class name length of 2^31 - 1 allocates nothing.
  std::vector<uint8_t> huge = Header(0, 1, 2);
  huge.insert(huge.end(), {5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'K'});
  EXPECT_EQ(LoadScene(FileWith("h.STR", huge), &root), kFailed);

  // An abstract class.
  std::vector<uint8_t> abstract = Header(0, 1, 2);
  const char name[] = "KLX.Controller";
  abstract.insert(abstract.end(), {5, 0, 0, 0, 14, 0, 0, 0});
  abstract.insert(abstract.end(), name, name + 14);
  EXPECT_EQ(LoadScene(FileWith("a.STR", abstract), &root), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно создать объект. RTTI[KLX.Controller] ID[5]")));
  EXPECT_EQ(root.Get(), nullptr);
}

TEST_F(SceneCodecTest, NestingDeeperThanTheBoundIsNeitherWrittenNorRead) {
  // A chain just inside the bound round-trips; one level more is refused.
  const int32_t depth = MemoryStream::kMaxObjectDepth;
  std::vector<Ref<TestHolder>> chain;
  chain.emplace_back(new TestHolder(String("0")));
  for (int32_t i = 1; i < depth; ++i) {
    chain.emplace_back(new TestHolder(String()));
    chain[i - 1]->link = chain[i];
  }
  const std::vector<uint8_t> bytes = Saved(chain.front().Get());
  Ref<Object> loaded;
  ASSERT_EQ(LoadScene(FileWith("deep.STR", bytes), &loaded), kOk);
  loaded = nullptr;

  chain.emplace_back(new TestHolder(String()));
  chain[depth - 1]->link = chain[depth];
  auto* file = new VirtualFile(String((::testing::TempDir() + "klx_deep.STR").c_str()));
  directory_.AddFile(file);
  log_->lines.clear();
  EXPECT_EQ(SaveScene(file, chain.front().Get()), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Превышена глубина вложенности объектов [%d]. RTTI[TEST.Holder] ID[%d]", depth, chain[depth]->GetID())));
  std::remove(file->GetFullPath().CStr());

  // Files built by hand: a chain at the bound loads, one level more fails.
  ASSERT_EQ(LoadScene(FileWith("at.STR", ChainFile(depth)), &loaded), kOk);
  loaded = nullptr;
  EXPECT_EQ(LoadScene(FileWith("deeper.STR", ChainFile(depth + 1)), &loaded), kFailed);
  EXPECT_EQ(loaded.Get(), nullptr);
}

}  // namespace
}  // namespace klx

namespace klx {
namespace {

TEST_F(SceneCodecTest, ExtremeVersionTriplesDoNotOverflow) {
  Ref<Object> root;
  // 2^31 - 1 major: far newer than the engine, and no overflow on the way.
  EXPECT_EQ(LoadScene(FileWith("big.STR", NullRootFile(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF)), &root), kOk);
  EXPECT_EQ(LoadScene(FileWith("neg.STR", NullRootFile(-0x7FFFFFFF, 0, 0)), &root), kFailed);
}

}  // namespace
}  // namespace klx
