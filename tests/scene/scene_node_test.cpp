// Scene nodes: the update traversal, bounds, culled drawing with effects
// wrapping the children per pass, and saving and loading.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/scene_codec.h"
#include "core/class_factory.h"
#include "core/codec_manager.h"
#include "core/memory_stream.h"
#include "scene/scene_node.h"
#include "support/engine_fixture.h"
#include "support/rar2_test_support.h"
#include "support/test_classes.h"
#include "vfs/memory_file.h"

namespace klx {
namespace {

// Records what happens to it; its bound is set by the test.
class TestLeaf : public Node {
  KLX_DECLARE_CLASS(TestLeaf)

 public:
  explicit TestLeaf(const String& name = String()) : Node(name) {}
  void DrawSelf(DrawContext*) override { Log().push_back("draw " + std::string(GetName().CStr())); }
  void Update(double elapsed) override {
    Node::Update(elapsed);
    Log().push_back("update " + std::string(GetName().CStr()));
  }
  void SetBound(const Vector3& center, float radius) {
    static_cast<SphereBoundingVolume*>(GetWorldBound())->Set(center, radius);
  }
  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }
};

// An effect with a number of passes; pass 1 refuses when `skipSecond`.
class TestSceneEffect : public Object, public SceneNodeEffectInterface {
  KLX_DECLARE_CLASS(TestSceneEffect)

 public:
  explicit TestSceneEffect(const String& name = String()) : Object(name) {}
  int Save(MemoryStream& stream) override {
    if (Object::Save(stream) != kOk) return kFailed;
    return stream.WriteInt32(passes);
  }
  int Load(MemoryStream& stream) override {
    if (Object::Load(stream) != kOk) return kFailed;
    return stream.ReadInt32(passes);
  }
  bool IsEnabled() const override { return enabled; }
  int GetPassCount() const override { return passes; }
  int ApplyPass(int pass, DrawContext*) override {
    TestLeaf::Log().push_back("pass " + std::string(GetName().CStr()) + " " + std::to_string(pass));
    return skipSecond && pass == 1 ? 1 : 0;
  }
  void UpdateEffect(double) override { ++updates; }
  void SetEffectOwner(SceneNode* node) override { owner = node; }

  int32_t passes = 1;
  bool enabled = true;
  bool skipSecond = false;
  int updates = 0;
  SceneNode* owner = nullptr;
};

KLX_IMPLEMENT_CLASS_WITH(TestLeaf, Node, "TEST.Leaf", ::klx::detail::CreateInstance<TestLeaf>)
KLX_IMPLEMENT_CLASS_WITH(TestSceneEffect, Object, "TEST.SceneEffect", ::klx::detail::CreateInstance<TestSceneEffect>)

class TestContext : public DrawContext {
 public:
  CullingFrustum* GetActiveFrustum() override { return useFrustum ? &frustum : nullptr; }
  void FlushQueues() override { TestLeaf::Log().push_back("flush"); }
  CullingFrustum frustum;
  bool useFrustum = true;
};

class SceneNodeTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    TestLeaf::Log().clear();
    // A frustum that keeps everything with x in (-10, 10) and no other limit.
    for (Plane& plane : context_.frustum.planes) plane = {{0, 1, 0}, -1e9f};
    context_.frustum.planes[0] = {{1, 0, 0}, -10};
    context_.frustum.planes[1] = {{-1, 0, 0}, -10};
  }
  TestContext context_;
};

TEST_F(SceneNodeTest, WorldTransformsFlowDownAndBoundsFlowUp) {
  Ref<SceneNode> root(new SceneNode(String("root"), 0, 2));
  Ref<SceneNode> group(new SceneNode(String("group"), 0, 2));
  Ref<TestLeaf> leaf(new TestLeaf(String("leaf")));
  root->AttachChild(group.Get());
  group->AttachChild(nullptr);
  group->AttachChild(leaf.Get());
  SetTranslation(root->LocalTransform(), {1, 0, 0});
  SetScale(group->LocalTransform(), {2, 2, 2});
  SetTranslation(leaf->LocalTransform(), {0, 3, 0});
  leaf->SetBound({1, 2, 3}, 4);  // a leaf keeps the bound it was given

  root->UpdateGeometricState(0.1, true);
  EXPECT_EQ(leaf->GetWorldTransform().translation, (Vector3{1, 6, 0}));
  EXPECT_EQ(leaf->GetWorldTransform().scale, (Vector3{2, 2, 2}));
  // A parentless node's world transform is its local one, flags included.
  EXPECT_FALSE(root->GetWorldTransform().isIdentity);
  Ref<TestLeaf> alone(new TestLeaf(String("alone")));
  alone->UpdateGeometricState(0, true);
  EXPECT_TRUE(alone->GetWorldTransform().isIdentity);
  // The null slot is skipped; the group's bound is the leaf's.
  const auto* bound = static_cast<SphereBoundingVolume*>(root->GetWorldBound());
  EXPECT_EQ(bound->GetCenter(), (Vector3{1, 2, 3}));
  EXPECT_EQ(bound->GetRadius(), 4);

  // Children without usable bounds leave the previous bound.
  Ref<SceneNode> empty(new SceneNode(String("empty"), 2, 1));
  static_cast<SphereBoundingVolume*>(empty->GetWorldBound())->Set({7, 7, 7}, 1);
  empty->UpdateGeometricState(0, false);
  EXPECT_EQ(empty->GetWorldBound()->GetCenter(), (Vector3{7, 7, 7}));
}

TEST_F(SceneNodeTest, PlaneMaskIsInheritedPerSubtreeAndHiddenNodesStillUpdate) {
  Ref<SceneNode> root(new SceneNode(String("root"), 0, 4));
  Ref<SceneNode> inside(new SceneNode(String("inside"), 0, 4));
  Ref<TestLeaf> a(new TestLeaf(String("a")));
  Ref<TestLeaf> b(new TestLeaf(String("b")));
  Ref<TestLeaf> outside(new TestLeaf(String("outside")));
  Ref<TestLeaf> hidden(new TestLeaf(String("hidden")));
  root->AttachChild(inside.Get());
  root->AttachChild(outside.Get());
  root->AttachChild(hidden.Get());
  inside->AttachChild(a.Get());
  inside->AttachChild(b.Get());
  a->SetBound({0, 0, 0}, 1);
  b->SetBound({0, 0, 0}, 1);
  outside->SetBound({50, 0, 0}, 1);
  hidden->SetBound({0, 0, 0}, 1);
  hidden->SetHidden(true);
  root->UpdateGeometricState(0, true);
  // The root's bound straddles plane 1 (x < 10) because of `outside`.
  root->Draw(&context_);
  EXPECT_EQ(TestLeaf::Log(), (std::vector<std::string>{"update a", "update b", "update outside", "update hidden",
                                                       "draw a", "draw b"}));
  // Every mask is restored after drawing.
  EXPECT_EQ(context_.frustum.mask, CullingFrustum::kAllPlanes);

  // A subtree wholly inside plane 0 clears its bit for itself only.
  CullingFrustum frustum = context_.frustum;
  EXPECT_FALSE(frustum.IsCulled(*a->GetWorldBound()));
  EXPECT_EQ(frustum.mask, 0u);  // inside every plane
  frustum.mask = CullingFrustum::kAllPlanes;
  EXPECT_TRUE(frustum.IsCulled(*outside->GetWorldBound()));
}

TEST_F(SceneNodeTest, EffectsWrapTheChildrenPassByPass) {
  Ref<SceneNode> node(new SceneNode(String("node"), 0, 2));
  Ref<TestLeaf> leaf(new TestLeaf(String("leaf")));
  node->AttachChild(leaf.Get());
  Ref<TestSceneEffect> first(new TestSceneEffect(String("first")));
  Ref<TestSceneEffect> second(new TestSceneEffect(String("second")));
  Ref<TestSceneEffect> off(new TestSceneEffect(String("off")));
  first->passes = 3;
  first->skipSecond = true;
  off->enabled = false;
  node->AddEffect(first.Get());
  node->AddEffect(second.Get());
  node->AddEffect(off.Get());
  node->AddEffect(second.Get());  // already listed
  node->AddEffect(nullptr);
  EXPECT_EQ(node->GetEffectCount(), 3);
  EXPECT_EQ(first->owner, node.Get());
  context_.useFrustum = false;
  node->UpdateGeometricState(0.5, false);
  EXPECT_EQ(first->updates, 1);
  TestLeaf::Log().clear();
  node->Draw(&context_);
  // Newest first; a refused pass draws nothing and flushes nothing.
  EXPECT_EQ(TestLeaf::Log(),
            (std::vector<std::string>{"pass second 0", "draw leaf", "flush", "pass first 0", "draw leaf", "flush",
                                      "pass first 1", "pass first 2", "draw leaf", "flush"}));
  node->RemoveEffect(second.Get());
  node->RemoveEffect(leaf.Get());  // not an effect: nothing happens
  EXPECT_EQ(node->GetEffectCount(), 2);
}

TEST_F(SceneNodeTest, SaveAndLoadKeepTheTreeAndReverseTheEffects) {
  Ref<SceneNode> root(new SceneNode(String("root"), 0, 3));
  Ref<TestLeaf> leaf(new TestLeaf(String("leaf")));
  root->AttachChild(leaf.Get());
  root->AttachChild(nullptr);
  SetTranslation(leaf->LocalTransform(), {0, 0, 0});  // identity values, flags cleared
  leaf->SetWorldBoundUpdate(false);
  Ref<TestSceneEffect> a(new TestSceneEffect(String("a")));
  Ref<TestSceneEffect> b(new TestSceneEffect(String("b")));
  root->AddEffect(a.Get());
  root->AddEffect(b.Get());  // list: b, a

  MemoryStream stream(256, 256);
  ASSERT_EQ(stream.WriteObject(root.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<SceneNode> copy(DynamicCast<SceneNode>(loaded));
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->GetChildCount(), 2);
  EXPECT_EQ(copy->GetIncrement(), 3);
  ASSERT_NE(copy->GetChild(0), nullptr);
  EXPECT_EQ(copy->GetChild(1), nullptr);
  EXPECT_EQ(copy->GetChild(0)->GetParent(), copy.Get());
  EXPECT_FALSE(copy->GetChild(0)->GetLocalTransform().isIdentity);
  EXPECT_FALSE(copy->GetChild(0)->GetWorldBoundUpdate());
  // Stored b, a; each added at the head: a, b.
  ASSERT_EQ(copy->GetEffectCount(), 2);
  EXPECT_STREQ(copy->GetEffect(0)->GetName().CStr(), "a");
  EXPECT_STREQ(copy->GetEffect(1)->GetName().CStr(), "b");
  EXPECT_EQ(copy->FindByName(String("leaf")), copy->GetChild(0));
  // The registry makes scene nodes with one empty slot, increment 2.
  Object* created = nullptr;
  ASSERT_EQ(CreateObjectByName(String("KLX.SceneNode"), &created), kOk);
  Ref<Object> made(created);
  auto* fresh = DynamicCast<SceneNode>(made.Get());
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->GetChildCount(), 1);
  EXPECT_EQ(fresh->GetIncrement(), 2);
  Object* abstractNode = nullptr;
  EXPECT_NE(CreateObjectByName(String("KLX.Node"), &abstractNode), kOk);
  EXPECT_EQ(abstractNode, nullptr);
}

TEST_F(SceneNodeTest, HostileCountsFailBeforeAllocating) {
  Ref<SceneNode> root(new SceneNode(String("root"), 0, 1));
  MemoryStream stream(256, 256);
  ASSERT_EQ(stream.WriteObject(root.Get()), kOk);
  const int32_t size = stream.GetPosition();
  // The child count is the second-to-last field of the last object written:
  // count (4 bytes), increment (4 bytes), no children.
  for (int32_t hostile : {-1, 0x7FFFFFFF, 1000}) {
    MemoryStream bad(256, 256);
    bad.Write(stream.GetBuffer(), size);
    bad.SetPosition(size - 8);
    bad.WriteInt32(hostile);
    bad.SetPosition(0);
    Object* loaded = nullptr;
    EXPECT_NE(bad.ReadObject(loaded), kOk) << hostile;
  }
  const std::string prefix = test::Text("Невозможно загрузить количество дочерних узлов. ID[");
  int reported = 0;
  for (const test::LoggedLine& line : log_->lines) reported += line.text.rfind(prefix, 0) == 0;
  EXPECT_EQ(reported, 3);
}

TEST_F(SceneNodeTest, ASceneNodeBelowItselfIsRefused) {
  // A node whose child's children link back to it (found by fuzzing): the
  // load fails, and nothing leaks through a loop of counted references.
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  const test::Bytes bytes = test::ReadHostFile(std::string(KLX_SOURCE_DIR) + "/tests/data/scene_node_cycle.STR");
  ASSERT_FALSE(bytes.empty());
  MemoryFile file{String("cycle.STR")};
  auto* copy = new uint8_t[bytes.size()];
  std::copy(bytes.begin(), bytes.end(), copy);
  file.SetContent(copy, static_cast<int32_t>(bytes.size()));
  Ref<Object> root;
  EXPECT_NE(LoadScene(&file, &root), kOk);
  const std::string prefix = test::Text("Невозможно загрузить дочерний узел. ID[");
  bool refused = false;
  for (const test::LoggedLine& line : log_->lines) refused |= line.text.rfind(prefix, 0) == 0;
  EXPECT_TRUE(refused);

  // Attaching an ancestor as a child is refused as well.
  Ref<SceneNode> top(new SceneNode(String("top"), 0, 2));
  Ref<SceneNode> below(new SceneNode(String("below"), 0, 2));
  ASSERT_EQ(top->AttachChild(below.Get()), kOk);
  EXPECT_EQ(below->AttachChild(top.Get()), kInvalidArg);
  EXPECT_EQ(top->AttachChild(top.Get()), kInvalidArg);
}

}  // namespace
}  // namespace klx
