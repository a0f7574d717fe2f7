// Skinning on the processor: a two-bone arm bent at its elbow lands on
// hand-computed positions, the bound follows the bones, streams that do not
// fit leave the mesh alone, and the stored form round-trips and refuses an
// absurd bone count.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <string>
#include <limits>
#include <vector>

#include "animation/skin_controller.h"
#include "core/cp1251.h"
#include "core/memory_stream.h"
#include "scene/bounding_volume.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "support/stream_bytes.h"

namespace klx {
namespace {

using SkinControllers = test::EngineTest;

constexpr float kHalfSqrt2 = 0.70710678f;

// A vertical arm: the shoulder bone at the origin, the elbow bone one unit
// up (a child of the shoulder), and a mesh of four points along the arm.
struct Arm {
  Ref<SceneNode> root{new SceneNode(String("root"))};
  Ref<SceneNode> shoulder{new SceneNode(String("shoulder"))};
  Ref<SceneNode> elbow{new SceneNode(String("elbow"))};
  Ref<Triangles> mesh{new Triangles(String("arm"))};
  Ref<SkinController> skin{new SkinController(String("skin"))};

  static constexpr int kVertices = 4;
  const Vector3 bind[kVertices] = {{0, 0, 0}, {0, 2, 0}, {0, 1.5f, 0}, {0.5f, 0.5f, 0}};
  const Vector4 weights[kVertices] = {{1, 0, 0, 0}, {1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}, {1, 0, 0, 0}};
  const Vector4 indices[kVertices] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}};

  Arm() {
    SetTranslation(elbow->LocalTransform(), Vector3{0, 1, 0});
    EXPECT_EQ(root->AttachChild(shoulder.Get()), kOk);
    EXPECT_EQ(shoulder->AttachChild(elbow.Get()), kOk);
    // The mesh comes after the bones, so it reads their transforms of
    // this frame; its own transform is dropped by the skinning.
    EXPECT_EQ(root->AttachChild(mesh.Get()), kOk);
    SetTranslation(mesh->LocalTransform(), Vector3{7, 7, 7});
    mesh->SetVertexBuffer(new Vector3Buffer(String("posed"), kVertices, bind));
    skin->SetVertices(new Vector3Buffer(String("bind"), kVertices, bind));
    skin->SetWeights(new Vector4Buffer(String("weights"), kVertices, weights));
    skin->SetIndices(new Vector4Buffer(String("indices"), kVertices, indices));
    Transform toElbow;
    SetTranslation(toElbow, Vector3{0, -1, 0});
    skin->AddBone(shoulder.Get(), Transform{});
    skin->AddBone(elbow.Get(), toElbow);
    EXPECT_EQ(mesh->AttachController(skin.Get()), kOk);
  }

  // Bends the elbow by 90 degrees about +z.
  void Bend() { SetRotation(elbow->LocalTransform(), Quaternion{0, 0, kHalfSqrt2, kHalfSqrt2}); }
  void Update() { root->UpdateGeometricState(0.0, false); }
  const Vector3* Posed() const { return static_cast<Vector3Buffer*>(mesh->GetVertexBuffer())->Elements(); }
};

void ExpectNear(const Vector3& actual, const Vector3& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-5f);
  EXPECT_NEAR(actual.y, expected.y, 1e-5f);
  EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

TEST_F(SkinControllers, AnArmBentAtTheElbowLandsOnHandComputedPositions) {
  Arm arm;
  // At rest the skinned mesh is the bind pose, even though the node has a
  // transform of its own: the positions are in world space.
  arm.Update();
  for (int v = 0; v < Arm::kVertices; ++v) ExpectNear(arm.Posed()[v], arm.bind[v]);
  arm.Bend();
  arm.Update();
  // (0, 2): one unit above the elbow, turned a quarter left, is one unit
  // left of it. (0, 1.5) is half on each bone: the mean of (0, 1.5) and
  // (-0.5, 1). The points on the shoulder bone stay.
  ExpectNear(arm.Posed()[0], Vector3{0, 0, 0});
  ExpectNear(arm.Posed()[1], Vector3{-1, 1, 0});
  ExpectNear(arm.Posed()[2], Vector3{-0.25f, 1.25f, 0});
  ExpectNear(arm.Posed()[3], Vector3{0.5f, 0.5f, 0});
  EXPECT_TRUE(arm.mesh->GetVertexBuffer()->IsChanged());
  // The node's world transform is the identity and stays so.
  EXPECT_TRUE(arm.mesh->GetWorldTransform().isIdentity);
  EXPECT_FALSE(arm.mesh->GetWorldTransformUpdate());
  // The bone matrices: bone 1 maps its bind-pose point (0, 2) the same way.
  ASSERT_EQ(arm.skin->GetBoneMatrices().size(), 2u);
  const Vector4 moved = arm.skin->GetBoneMatrices()[1].Transform(Vector4{0, 2, 0, 1});
  ExpectNear(Vector3{moved.x, moved.y, moved.z}, Vector3{-1, 1, 0});
}

TEST_F(SkinControllers, TheBoundSurroundsTheBonesAndFollowsThem) {
  Arm arm;
  arm.Update();
  auto* bound = static_cast<SphereBoundingVolume*>(arm.mesh->GetWorldBound());
  // Bones at (0, 0) and (0, 1): centre between them, radius 0.5 × 1.5.
  ExpectNear(bound->GetCenter(), Vector3{0, 0.5f, 0});
  EXPECT_NEAR(bound->GetRadius(), 0.75f, 1e-6f);
  EXPECT_FALSE(arm.mesh->GetWorldBoundUpdate());
  SetTranslation(arm.shoulder->LocalTransform(), Vector3{10, 0, 0});
  arm.Update();
  ExpectNear(bound->GetCenter(), Vector3{10, 0.5f, 0});
  // The shader path fits the same sphere and leaves the positions alone.
  arm.skin->SetActive(false);
  SetTranslation(arm.shoulder->LocalTransform(), Vector3{-10, 0, 0});
  arm.Update();
  ExpectNear(bound->GetCenter(), Vector3{-10, 0.5f, 0});
  ExpectNear(arm.Posed()[1], Vector3{10, 2, 0});
}

TEST_F(SkinControllers, AOneBoneMeshIsNeverCulled) {
  Arm arm;
  Ref<SkinController> single(new SkinController(String("single")));
  single->SetVertices(arm.skin->GetVertices());
  single->SetWeights(arm.skin->GetWeights());
  const Vector4 zero[Arm::kVertices] = {};
  single->SetIndices(new Vector4Buffer(String("zero"), Arm::kVertices, zero));
  single->AddBone(arm.shoulder.Get(), Transform{});
  Ref<Triangles> mesh(new Triangles(String("lump")));
  mesh->SetVertexBuffer(new Vector3Buffer(String("posed"), Arm::kVertices, arm.bind));
  ASSERT_EQ(mesh->AttachController(single.Get()), kOk);
  ASSERT_EQ(arm.root->AttachChild(mesh.Get()), kOk);
  for (bool processor : {true, false}) {
    single->SetActive(processor);
    arm.Update();
    auto* bound = static_cast<SphereBoundingVolume*>(mesh->GetWorldBound());
    EXPECT_EQ(bound->GetRadius(), 3.4028235e38f) << processor;
  }
}

TEST_F(SkinControllers, StreamsThatDoNotFitLeaveTheMeshUndeformedOrInItsBindPose) {
  // A bone index past the palette or a weight that is not a number: that
  // vertex keeps its bind-pose position, the others are skinned.
  {
    Arm arm;
    Vector4* indices = arm.skin->GetIndices()->Elements();
    Vector4* weights = arm.skin->GetWeights()->Elements();
    indices[1].x = 2.0f;
    weights[3].x = std::numeric_limits<float>::quiet_NaN();
    arm.Bend();
    arm.Update();
    ExpectNear(arm.Posed()[1], arm.bind[1]);
    ExpectNear(arm.Posed()[3], arm.bind[3]);
    ExpectNear(arm.Posed()[2], Vector3{-0.25f, 1.25f, 0});
    EXPECT_FALSE(arm.skin->FitsShaderPalette());
  }
  // Weights that do not sum to one scale the point; nothing breaks.
  {
    Arm arm;
    arm.skin->GetWeights()->Elements()[1] = Vector4{2, 0, 0, 0};
    arm.Update();
    ExpectNear(arm.Posed()[1], Vector3{0, 4, 0});
  }
  // Streams shorter than the mesh, a mesh of another length than the bind
  // pose, or a mesh whose positions are the bind pose itself: no change.
  const Vector3 marker{42, 42, 42};
  for (int fault = 0; fault < 4; ++fault) {
    Arm arm;
    const Vector4 three[3] = {};
    if (fault == 0) arm.skin->SetWeights(new Vector4Buffer(String("short"), 3, three));
    if (fault == 1) arm.skin->SetIndices(new Vector4Buffer(String("short"), 3, three));
    if (fault == 2) arm.mesh->SetVertexBuffer(new Vector3Buffer(String("long"), 5, nullptr));
    if (fault == 3) arm.mesh->SetVertexBuffer(arm.skin->GetVertices());
    auto* posed = static_cast<Vector3Buffer*>(arm.mesh->GetVertexBuffer());
    posed->Elements()[0] = marker;
    arm.Bend();
    arm.Update();
    ExpectNear(posed->Elements()[0], marker);
    EXPECT_FALSE(arm.mesh->GetWorldTransform().isIdentity) << fault;
    if (fault < 2) {
      EXPECT_FALSE(arm.skin->FitsShaderPalette()) << fault;
    }
  }
}

TEST_F(SkinControllers, TheShaderPaletteTakesOneToFiftyBonesWithIndicesInside) {
  Arm arm;
  EXPECT_TRUE(arm.skin->FitsShaderPalette());
  // The shader reads every index, also those of zero weights.
  arm.skin->GetIndices()->Elements()[0].w = 5.0f;
  EXPECT_TRUE(arm.skin->FitsShaderPalette()) << "the answer is kept for the same streams";
  arm.skin->SetIndices(new Vector4Buffer(String("copy"), Arm::kVertices, arm.skin->GetIndices()->Elements()));
  EXPECT_FALSE(arm.skin->FitsShaderPalette());
  arm.skin->GetIndices()->Elements()[0].w = 0.0f;
  arm.skin->SetIndices(new Vector4Buffer(String("fixed"), Arm::kVertices, arm.skin->GetIndices()->Elements()));
  EXPECT_TRUE(arm.skin->FitsShaderPalette());
  while (arm.skin->GetBoneCount() < SkinController::kMaxShaderBones) arm.skin->AddBone(arm.elbow.Get(), Transform{});
  EXPECT_TRUE(arm.skin->FitsShaderPalette());
  arm.skin->AddBone(arm.elbow.Get(), Transform{});
  EXPECT_FALSE(arm.skin->FitsShaderPalette());
  Ref<SkinController> boneless(new SkinController(String("boneless")));
  boneless->SetVertices(arm.skin->GetVertices());
  boneless->SetWeights(arm.skin->GetWeights());
  boneless->SetIndices(arm.skin->GetIndices());
  EXPECT_FALSE(boneless->FitsShaderPalette());
}

TEST_F(SkinControllers, TheStoredFormKeepsBonesOffsetsAndStreams) {
  Arm arm;
  arm.skin->SetNormals(new Vector3Buffer(String("normals"), Arm::kVertices, arm.bind));
  MemoryStream stream(8192, 4096);
  ASSERT_EQ(stream.WriteObject(arm.root.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<SceneNode> root(DynamicCast<SceneNode>(loaded));
  ASSERT_TRUE(root);
  auto* mesh = DynamicCast<Triangles>(root->FindByName(String("arm")));
  ASSERT_NE(mesh, nullptr);
  auto* skin = DynamicCast<SkinController>(mesh->GetController(0));
  ASSERT_NE(skin, nullptr);
  ASSERT_EQ(skin->GetBoneCount(), 2);
  EXPECT_EQ(skin->GetBone(0), root->FindByName(String("shoulder")));
  EXPECT_EQ(skin->GetBone(1), root->FindByName(String("elbow")));
  EXPECT_FLOAT_EQ(skin->GetBindOffset(1)->translation.y, -1.0f);
  ASSERT_EQ(skin->GetBoneMatrices().size(), 2u);
  ASSERT_NE(skin->GetVertices(), nullptr);
  EXPECT_EQ(skin->GetVertices()->GetCount(), Arm::kVertices);
  EXPECT_EQ(skin->GetWeights()->GetCount(), Arm::kVertices);
  EXPECT_FLOAT_EQ(skin->GetIndices()->Elements()[2].y, 1.0f);
  EXPECT_NE(skin->GetNormals(), nullptr);
  EXPECT_EQ(skin->GetTangents(), nullptr);
  // Bent at the elbow, the loaded arm lands on the same points as before saving.
  SetRotation(DynamicCast<Node>(root->FindByName(String("elbow")))->LocalTransform(),
              Quaternion{0, 0, kHalfSqrt2, kHalfSqrt2});
  root->UpdateGeometricState(0.0, false);
  ExpectNear(static_cast<Vector3Buffer*>(mesh->GetVertexBuffer())->Elements()[1], Vector3{-1, 1, 0});
}

TEST_F(SkinControllers, ABillionBonesInTheFileFailTheLoadWithItsMessage) {
  Ref<SkinController> skin(new SkinController(String("greedy")));
  std::vector<uint8_t> bytes = test::StoredBytes(skin.Get());
  ASSERT_GE(bytes.size(), 24u);
  // The stored form ends with the bone count (0) and five null links.
  const size_t countAt = bytes.size() - 4 - 5 * 4;
  const int32_t billion = 1000000000;
  std::memcpy(&bytes[countAt], &billion, 4);
  EXPECT_NE(test::ReadStoredBytes(bytes, nullptr), kOk);
  bool logged = false;
  for (const auto& line : log_->lines) {
    logged = logged || line.text.rfind(Utf8ToCp1251("Невозможно загрузить количество костей."), 0) == 0;
  }
  EXPECT_TRUE(logged);
}

// A file whose skin names an ancestor of its own mesh as a bone: the
// skin would hold the mesh that holds it. The load fails on that bone
// (and nothing is left in a loop for the leak check to find).
TEST_F(SkinControllers, ABoneThatIsAnAncestorOfTheMeshFailsTheLoad) {
  Arm arm;
  std::vector<uint8_t> bytes = test::StoredBytes(arm.root.Get());
  ASSERT_FALSE(bytes.empty());
  // After the skin's class name: its bone count (2), then the shoulder's
  // link, which becomes a link to the root.
  const std::string className = "KLX.SkinController";
  auto at = std::search(bytes.begin(), bytes.end(), className.begin(), className.end());
  ASSERT_NE(at, bytes.end());
  const int32_t pattern[2] = {2, arm.shoulder->GetID()};
  auto* first = reinterpret_cast<const uint8_t*>(pattern);
  auto bones = std::search(at, bytes.end(), first, first + sizeof(pattern));
  ASSERT_NE(bones, bytes.end());
  const int32_t rootId = arm.root->GetID();
  std::memcpy(&*(bones + 4), &rootId, 4);
  EXPECT_NE(test::ReadStoredBytes(bytes, nullptr), kOk);
  bool logged = false;
  for (const auto& line : log_->lines) {
    logged = logged || line.text.rfind(Utf8ToCp1251("Невозможно загрузить кость. ID["), 0) == 0;
  }
  EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace klx
