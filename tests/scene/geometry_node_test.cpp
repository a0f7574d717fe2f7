// Geometry nodes: smooth normals and tangents of known meshes, the model
// bound fitted on load, the stored form with every buffer, effects chosen
// once and re-recorded when a buffer changes, and what draws nothing.

#include <gtest/gtest.h>

#include <cmath>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/memory_stream.h"
#include "support/rar2_test_support.h"
#include "vfs/memory_file.h"
#include "render/effect.h"
#include "scene/geometry_node.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

// A pass that counts how often it was invalidated and applied.
class CountingPass : public GeometryNodeEffectPass {
 public:
  explicit CountingPass(GeometryNodeEffect* effect) : GeometryNodeEffectPass(String("pass"), effect) {}
  int Apply() override { return ++applied, 0; }
  void Invalidate() override {
    ++invalidated;
    GeometryNodeEffectPass::Invalidate();
  }
  int applied = 0;
  int invalidated = 0;
};

class OneTechnique : public Technique {
 public:
  OneTechnique(GeometryNodeEffect* effect, bool supported) : Technique(effect), supported_(supported) {}
  bool IsSupported() override {
    if (supported_ && GetPassCount() == 0) AddPass(new CountingPass(static_cast<GeometryNodeEffect*>(effect_)));
    return supported_;
  }

 private:
  bool supported_;
};

class TestEffect : public GeometryNodeEffect {
 public:
  TestEffect() : GeometryNodeEffect(String("effect")) {
    AddTechnique(new OneTechnique(this, true));   // added first: searched last
    AddTechnique(new OneTechnique(this, false));  // added last: searched first, but unsupported
  }
  CountingPass* Pass0() { return static_cast<CountingPass*>(GetCurrentTechnique()->GetPass(0)); }
};

using Geometry = test::EngineTest;

Ref<Triangles> TwoTriangles() {
  // Two triangles in different planes sharing the edge 0-1; vertex 4 unused.
  const Vector3 v[5] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {5, 5, 5}};
  const int32_t i[6] = {0, 1, 2, 1, 0, 3};
  Ref<Triangles> mesh(new Triangles(String("mesh")));
  mesh->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String("v"), 5, v)).Get());
  mesh->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String("i"), 6, i)).Get());
  return mesh;
}

TEST_F(Geometry, NormalsAreTheNormalisedAreaWeightedSum) {
  Ref<Triangles> mesh = TwoTriangles();
  mesh->GenerateNormals();
  auto* normals = DynamicCast<Vector3Buffer>(mesh->GetNormalBuffer());
  ASSERT_NE(normals, nullptr);
  ASSERT_EQ(normals->GetCount(), 5);
  // Face normals (unnormalised, so weighted by area): (0, 0, 1) for the
  // first triangle, (v0 - v1) x (v3 - v1) = (0, 2, 0) for the second.
  const Vector3 shared = Vector3{0, 2, 1}.Normalized();
  EXPECT_NEAR(normals->Elements()[0].y, shared.y, 1e-6f);
  EXPECT_NEAR(normals->Elements()[0].z, shared.z, 1e-6f);
  EXPECT_EQ(normals->Elements()[2], (Vector3{0, 0, 1}));
  EXPECT_EQ(normals->Elements()[3], (Vector3{0, 1, 0}));
  EXPECT_EQ(normals->Elements()[4], (Vector3{0, 0, 0}));  // used by no triangle
  EXPECT_TRUE(normals->IsChanged());
}

TEST_F(Geometry, TangentsFollowTheTextureAxisAndNeedTwoComponents) {
  // A quad in the x-y plane whose s runs along +x.
  const Vector3 v[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const int32_t i[6] = {0, 1, 2, 0, 2, 3};
  Ref<Triangles> mesh(new Triangles(String("quad")));
  mesh->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, v)).Get());
  mesh->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, i)).Get());
  const Vector4 st4[4] = {{0, 0, 9, 9}, {1, 0, 9, 9}, {1, 1, 9, 9}, {0, 1, 9, 9}};
  mesh->SetTexCoordBuffer(0, Ref<Vector4Buffer>(new Vector4Buffer(String(), 4, st4)).Get());
  mesh->GenerateTangents(0);
  auto* tangents = DynamicCast<Vector3Buffer>(mesh->GetTangentBuffer());
  ASSERT_NE(tangents, nullptr);
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(std::fabs(tangents->Elements()[k].x), 1.0f, 1e-5f) << k;
    EXPECT_NEAR(tangents->Elements()[k].y, 0.0f, 1e-5f) << k;
  }
  // A FloatBuffer set changes nothing.
  Ref<Triangles> flat(new Triangles(String("flat")));
  flat->SetVertexBuffer(mesh->GetVertexBuffer());
  flat->SetIndexBuffer(mesh->GetIndexBuffer());
  flat->SetTexCoordBuffer(0, Ref<FloatBuffer>(new FloatBuffer(String(), 4)).Get());
  flat->GenerateTangents(0);
  EXPECT_EQ(flat->GetTangentBuffer(), nullptr);
}

TEST_F(Geometry, TheStoredFormAndTheBoundFittedOnLoad) {
  Ref<Triangles> mesh = TwoTriangles();
  const Vector2 uv[5] = {};
  mesh->SetTexCoordBuffer(3, Ref<Vector2Buffer>(new Vector2Buffer(String("uv"), 5, uv)).Get());
  Ref<TestEffect> effect(new TestEffect());
  effect->diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
  effect->blend = true;
  effect->cull = false;
  effect->stageClamps[2] = true;
  effect->SetFogEnable(true);
  // The test effect is not a registered class: its stored fields are
  // checked on their own, and the geometry goes through the stream without
  // it.
  MemoryStream effectStream(256, 256);
  ASSERT_EQ(effect->Save(effectStream), kOk);
  effectStream.SetPosition(0);
  TestEffect copy;
  ASSERT_EQ(copy.Load(effectStream), kOk);
  EXPECT_EQ(copy.diffuse, effect->diffuse);
  EXPECT_TRUE(copy.blend);
  EXPECT_FALSE(copy.cull);
  EXPECT_TRUE(copy.stageClamps[2]);
  EXPECT_FALSE(copy.stageClamps[1]);
  EXPECT_TRUE(copy.GetFogEnable());

  MemoryStream meshStream(1024, 1024);
  ASSERT_EQ(meshStream.WriteObject(mesh.Get()), kOk);
  meshStream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(meshStream.ReadObject(loaded), kOk);
  Ref<Triangles> meshCopy(DynamicCast<Triangles>(loaded));
  ASSERT_TRUE(meshCopy);
  ASSERT_NE(meshCopy->GetVertexBuffer(), nullptr);
  EXPECT_EQ(meshCopy->GetVertexBuffer()->GetCount(), 5);
  ASSERT_NE(meshCopy->GetTexCoordBuffer(3), nullptr);
  EXPECT_EQ(meshCopy->GetTexCoordBuffer(0), nullptr);
  EXPECT_EQ(meshCopy->GetIndexBuffer()->GetCount(), 6);
  // The bound is the sphere fitted to the vertices, whatever was stored.
  auto* bound = DynamicCast<SphereBoundingVolume>(meshCopy->GetModelBound());
  ASSERT_NE(bound, nullptr);
  EXPECT_NEAR(bound->GetCenter().x, 2.5f, 1e-6f);
  EXPECT_NEAR(bound->GetRadius(), std::sqrt(3 * 2.5f * 2.5f), 1e-5f);
}

TEST_F(Geometry, TheFirstRunnableTechniqueIsChosenOnceAndBuffersReRecordIt) {
  Ref<TestEffect> effect(new TestEffect());
  EXPECT_EQ(effect->GetCurrentTechnique(), nullptr);
  EXPECT_EQ(effect->PassCount(), 1);
  Technique* chosen = effect->GetCurrentTechnique();
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(effect->PassCount(), 1);
  EXPECT_EQ(effect->GetCurrentTechnique(), chosen);
  EXPECT_EQ(effect->Pass0()->invalidated, 1);
  Ref<Triangles> mesh = TwoTriangles();
  mesh->SetEffect(effect.Get());
  const int before = effect->Pass0()->invalidated;
  mesh->SetColorBuffer(Ref<ColorBuffer>(new ColorBuffer(String(), 5)).Get());
  EXPECT_EQ(effect->Pass0()->invalidated, before + 1);
  // Invalidation copies the effect's parameters into the pass's states.
  effect->alphaTest = true;
  effect->alphaReference = 77;
  effect->fogExponent = 3.0f;
  effect->InvalidatePasses();
  const RenderStateBlock* block = effect->Pass0()->GetRenderStateBlock();
  EXPECT_TRUE(block->alphaTestEnable);
  EXPECT_EQ(block->alphaReference, 77);
  EXPECT_EQ(block->alphaFunction, 6);
  EXPECT_EQ(block->fogMode, 2);  // an exponent above 2 squares
  effect->fogExponent = 2.0f;
  effect->InvalidatePasses();
  EXPECT_EQ(block->fogMode, 1);
  // Without a renderer, or with the effect off, nothing is drawn.
  mesh->DrawSelf(nullptr);
  EXPECT_EQ(effect->Pass0()->applied, 0);
}

// A node that stores any object where its effect belongs, as a damaged or
// hostile file would.
class MislinkedTriangles : public Triangles {
 public:
  explicit MislinkedTriangles(Object* notAnEffect) : Triangles(String("mislinked")) { effectObject_ = notAnEffect; }
};

TEST_F(Geometry, OnlyAGeometryEffectIsTakenAsTheEffect) {
  Ref<Triangles> mesh = TwoTriangles();
  Ref<TestEffect> effect(new TestEffect());
  ASSERT_EQ(mesh->SetEffect(effect.Get()), kOk);
  Ref<Object> notAnEffect(new FloatBuffer(String("plain")));  // any class the factory makes
  EXPECT_EQ(mesh->SetEffect(notAnEffect.Get()), kInvalidArg);
  EXPECT_EQ(mesh->GetEffect(), nullptr);
  EXPECT_EQ(mesh->SetEffect(nullptr), kOk);

  // Loading refuses it with the class it expected.
  Ref<MislinkedTriangles> stored(new MislinkedTriangles(notAnEffect.Get()));
  MemoryStream stream(1024, 1024);
  ASSERT_EQ(stream.WriteObject(stored.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  EXPECT_NE(stream.ReadObject(loaded), kOk);
  auto logged = [this](const char* prefix, const char* suffix) {
    const std::string head = test::Text(prefix), tail = test::Text(suffix);
    for (const test::LoggedLine& line : log_->lines) {
      if (line.level == kLogError && line.text.rfind(head, 0) == 0 && line.text.size() >= tail.size() &&
          line.text.compare(line.text.size() - tail.size(), tail.size(), tail) == 0) {
        return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(logged("Объект не является объектом класса [KLX.GeometryNodeEffect]. RTTI[KLX.FloatBuffer] ID[", "Имя[plain]"));
  EXPECT_TRUE(logged("Невозможно загрузить эффект. ID[", "Имя[mislinked]"));
}

TEST_F(Geometry, AnEffectWhoseSkinControllerLinksToItselfIsRefused) {
  // Found by fuzzing: a colour effect whose skin-controller link names the
  // effect itself. Only a controller is taken there, so no loop of counted
  // references can form (the leak checker of the sanitizer build watches).
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  const test::Bytes bytes = test::ReadHostFile(std::string(KLX_SOURCE_DIR) + "/tests/data/effect_self_link.STR");
  ASSERT_FALSE(bytes.empty());
  MemoryFile file{String("self.STR")};
  auto* copy = new uint8_t[bytes.size()];
  std::copy(bytes.begin(), bytes.end(), copy);
  file.SetContent(copy, static_cast<int32_t>(bytes.size()));
  Ref<Object> root;
  EXPECT_NE(LoadScene(&file, &root), kOk);
  EXPECT_FALSE(root);
}

}  // namespace
}  // namespace klx
