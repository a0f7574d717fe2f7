// The colour and texture effects drawn through the renderer, headless:
// a quad in front of a camera under each technique (the shader one and,
// with the shaders taken away through the caps, the fixed-function one),
// checked at chosen pixels, and the technique chosen once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <fstream>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "render/effects/effect_support.h"
#include "render/effects/material_effects.h"
#include "support/image_test_support.h"
#include "vfs/virtual_file.h"
#include "render/device_renderer.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

class MaterialEffects : public test::EngineTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(64, 64, "effects");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    if (!GetParam()) {
      // The fixed-function path: no usable shaders.
      RendererCaps caps = renderer_->GetCaps();
      caps.vertexShaderLevel = kShaderLevelNone;
      caps.pixelShaderLevel = kShaderLevelNone;
      renderer_->OverrideCaps(caps);
    }
    // A camera five units behind the origin, looking along +z.
    camera_ = new Camera(String("cam"));
    SetTranslation(camera_->LocalTransform(), {0, 0, -5});
    renderer_->SetCamera(camera_.Get());
  }
  void TearDown() override {
    camera_ = nullptr;
    ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  // A 4x4 quad at the origin facing the camera (clockwise as seen), with
  // texture coordinates 0..1 from its top-left.
  Ref<Triangles> Quad(GeometryNodeEffect* effect) {
    const Vector3 corners[4] = {{-2, 2, 0}, {2, 2, 0}, {2, -2, 0}, {-2, -2, 0}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
    Ref<Triangles> quad(new Triangles(String("quad")));
    quad->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
    quad->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
    quad->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
    quad->UpdateModelBound();
    quad->SetEffect(effect);
    quad->UpdateGeometricState(0, false);
    return quad;
  }

  void Frame(Node* node) {
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    ASSERT_EQ(renderer_->BeginFrame(), kOk);
    node->Draw(renderer_);
    renderer_->EndFrame();
  }

  Rgb Pixel(uint32_t x, uint32_t y) {
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(x, y, 1, 1, &rgba);
    return Rgb{rgba[0], rgba[1], rgba[2]};
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
};

TEST_P(MaterialEffects, AColouredQuadInFrontOfTheCamera) {
  Ref<ColorEffect> effect(new ColorEffect(String("red")));
  effect->SetColor(Color{1, 0, 0, 1});
  effect->cull = false;
  Ref<Triangles> quad = Quad(effect.Get());
  Frame(quad.Get());
  EXPECT_EQ(Pixel(32, 32), (Rgb{255, 0, 0}));
  EXPECT_EQ(Pixel(1, 1), (Rgb{0, 0, 0}));  // the quad does not reach the corners
  EXPECT_EQ(effect->PassCount(), 1);
  // The technique is chosen once: a change of the caps does not move it.
  Technique* chosen = effect->GetCurrentTechnique();
  renderer_->OverrideCaps(RendererCaps{});
  Frame(quad.Get());
  EXPECT_EQ(effect->GetCurrentTechnique(), chosen);
  // A disabled effect draws nothing.
  effect->Disable();
  Frame(quad.Get());
  EXPECT_EQ(Pixel(32, 32), (Rgb{0, 0, 0}));
}

// An effect whose vertex shader text does not assemble.
class BrokenShaderPass : public GeometryNodeEffectPass {
 public:
  explicit BrokenShaderPass(GeometryNodeEffect* effect)
      : GeometryNodeEffectPass(String(), effect), shader_(new VertexShader(String("broken"))) {
    shader_->SetText(kText, static_cast<int32_t>(std::strlen(kText)));
  }
  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? effects::CurrentGeometry(*renderer) : nullptr;
    if (geometry == nullptr || renderer->GetCamera() == nullptr) return kFailed;
    renderer->SetPositions(geometry->GetVertexBuffer());
    renderer->SetIndices(geometry->GetIndexBuffer());
    // Where the shader is refused, the fixed-function stages draw it in place.
    effects::SetFixedMatrices(*renderer, *renderer->GetCamera(), ToMatrix(geometry->GetWorldTransform()));
    renderer->SetVertexShader(shader_.Get());
    return kOk;
  }

 private:
  static constexpr const char* kText = "vs_1_1\ndcl_position v0\nmov oPos, v0\nfrobnicate r0, v0\n";
  Ref<VertexShader> shader_;
};

class BrokenShaderTechnique : public Technique {
 public:
  explicit BrokenShaderTechnique(GeometryNodeEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    if (GetPassCount() == 0) AddPass(new BrokenShaderPass(static_cast<GeometryNodeEffect*>(effect_)));
    return true;
  }
};

class BrokenShaderEffect : public GeometryNodeEffect {
 public:
  BrokenShaderEffect() : GeometryNodeEffect(String("broken")) { AddTechnique(new BrokenShaderTechnique(this)); }
};

// A shader that does not assemble is reported once, with its line, and
// the rest of the scene draws frame after frame.
TEST_P(MaterialEffects, AShaderThatDoesNotAssembleIsReportedOnceAndTheRestDraws) {
  if (!GetParam()) GTEST_SKIP() << "a shader text matters to the shader technique only";
  Ref<BrokenShaderEffect> broken(new BrokenShaderEffect());
  broken->cull = false;
  Ref<ColorEffect> red(new ColorEffect(String("red")));
  red->SetColor(Color{1, 0, 0, 1});
  red->cull = false;
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<Triangles> behind = Quad(broken.Get());
  SetTranslation(behind->LocalTransform(), {0, 0, 2});
  root->AttachChild(behind.Get());
  root->AttachChild(Quad(red.Get()).Get());
  root->UpdateGeometricState(0, true);
  for (int frame = 0; frame < 3; ++frame) {
    Frame(root.Get());
    EXPECT_EQ(Pixel(32, 32), (Rgb{255, 0, 0})) << "frame " << frame;
  }
  int reports = 0;
  for (const test::LoggedLine& line : log_->lines) {
    if (line.level == kLogError && line.text.find("frobnicate") != std::string::npos) ++reports;
  }
  EXPECT_EQ(reports, 1);
}

TEST_P(MaterialEffects, ATexturedQuadModulatedByTheColour) {
  // 2x2, rows bottom first: bottom blue, white; top red, green.
  Ref<Image> image(new Image(String("img"), kImageRGB8, 2, 2));
  const uint8_t pixels[12] = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
  std::copy(pixels, pixels + 12, image->EditPixels());
  Ref<Texture> texture(new Texture(String("tex")));
  texture->SetImage(image.Get());
  Ref<TextureEffect> effect(new TextureEffect(String("textured")));
  effect->SetTexture(texture.Get());
  effect->SetColor(Color{1, 1, 0.5f, 1});
  effect->cull = false;
  effect->stageClamps[0] = true;
  Ref<Triangles> quad = Quad(effect.Get());
  Frame(quad.Get());
  // The texture is filtered linearly, so each quarter of the quad is
  // mostly its texel's colour: red at the top left, green at the top right,
  // blue times 0.5 at the bottom left, white times the colour at the bottom
  // right.
  const Rgb topLeft = Pixel(22, 22), topRight = Pixel(42, 22), bottomLeft = Pixel(22, 42), bottomRight = Pixel(42, 42);
  EXPECT_GT(topLeft.r, 200) << topLeft;
  EXPECT_LT(topLeft.g, 60) << topLeft;
  EXPECT_GT(topRight.g, 200) << topRight;
  EXPECT_LT(topRight.r, 60) << topRight;
  EXPECT_LT(bottomLeft.r, 60) << bottomLeft;
  EXPECT_GT(bottomLeft.b, 100) << bottomLeft;
  EXPECT_LT(bottomLeft.b, 140) << bottomLeft;
  EXPECT_GT(bottomRight.r, 200) << bottomRight;
  EXPECT_GT(bottomRight.g, 200) << bottomRight;
  EXPECT_LT(bottomRight.b, 140) << bottomRight;
}

// A saved scene drawn by klx-render gives the picture drawn here: the
// camera, the geometry and its effect all come back. (Images in a scene
// file are named files the file manager finds, so this scene has none.)
TEST_P(MaterialEffects, ASavedSceneRendersTheSamePictureThroughKlxRender) {
  if (!GetParam()) GTEST_SKIP() << "klx-render draws with the machine's own capabilities";
  Ref<ColorEffect> effect(new ColorEffect(String("coloured")));
  effect->SetColor(Color{0.25f, 0.5f, 1.0f, 1});
  effect->cull = false;
  Ref<SceneNode> root(new SceneNode(String("root")));
  root->AttachChild(camera_.Get());
  Ref<Triangles> quad = Quad(effect.Get());
  root->AttachChild(quad.Get());
  root->UpdateGeometricState(0, false);
  Frame(root.Get());
  std::vector<uint8_t> here;
  renderer_->GetDevice()->ReadPixels(0, 0, 64, 64, &here);

  test::ScratchFolder folder;
  const std::string scene = folder.File("scene.STR");
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  VirtualFile file{String(scene.c_str())};
  ASSERT_EQ(SaveScene(&file, root.Get()), kOk);
  const std::string out = folder.File("frame.ppm");
  const std::string command = std::string(KLX_RENDER_PATH) + " " + scene + " --camera cam --size 64x64 --out " + out;
  ASSERT_EQ(std::system(("SDL_VIDEODRIVER=offscreen " + command).c_str()), 0) << command;
  std::ifstream ppm(out, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  ppm >> magic >> width >> height >> maximum;
  ppm.get();
  ASSERT_EQ(magic, "P6");
  ASSERT_EQ(width, 64);
  std::vector<uint8_t> rgb(64 * 64 * 3);
  ppm.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  int differing = 0;
  for (size_t i = 0; i < 64 * 64; ++i) {
    for (int c = 0; c < 3; ++c) differing += std::abs(rgb[i * 3 + c] - here[i * 4 + c]) > 2;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(rgb[(32 * 64 + 32) * 3 + 2], 255);  // the quad is there
}

TEST_P(MaterialEffects, PointsAndLinesAndASharedBufferUploadedOnce) {
  Ref<ColorEffect> effect(new ColorEffect(String("green")));
  effect->SetColor(Color{0, 1, 0, 1});
  effect->cull = false;
  // A vertical line through the middle and a point to its left share one
  // vertex buffer.
  const Vector3 positions[3] = {{0, 2, 0}, {0, -2, 0}, {-1, 0, 0}};
  Ref<Vector3Buffer> shared(new Vector3Buffer(String("shared"), 3, positions));
  const int32_t lineIndices[2] = {0, 1};
  const int32_t pointIndices[1] = {2};
  Ref<Lines> line(new Lines(String("line")));
  line->SetVertexBuffer(shared.Get());
  line->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 2, lineIndices)).Get());
  line->SetEffect(effect.Get());
  Ref<ColorEffect> pointEffect(new ColorEffect(String("point")));
  pointEffect->SetColor(Color{1, 1, 0, 1});
  Ref<Points> point(new Points(String("point")));
  point->SetVertexBuffer(shared.Get());
  point->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 1, pointIndices)).Get());
  point->SetEffect(pointEffect.Get());
  for (GeometryNode* node : {static_cast<GeometryNode*>(line.Get()), static_cast<GeometryNode*>(point.Get())}) {
    node->UpdateModelBound();
    node->UpdateGeometricState(0, false);
  }
  renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  line->Draw(renderer_);
  void* const copy = shared->Handle().handle;
  point->Draw(renderer_);
  renderer_->EndFrame();
  // One device copy serves both nodes.
  EXPECT_NE(copy, nullptr);
  EXPECT_EQ(shared->Handle().handle, copy);
  EXPECT_FALSE(shared->IsChanged());
  // The line covers the middle column; the point sits left of it.
  int lineRows = 0;
  for (uint32_t y = 0; y < 64; ++y) lineRows += Pixel(32, y).g == 255 || Pixel(31, y).g == 255;
  EXPECT_GT(lineRows, 20);
  bool pointFound = false;
  for (uint32_t x = 12; x < 31 && !pointFound; ++x) {
    for (uint32_t y = 29; y < 35 && !pointFound; ++y) pointFound = Pixel(x, y) == (Rgb{255, 255, 0});
  }
  EXPECT_TRUE(pointFound);
}

// One effect on two geometries: each draws its own vertices, whichever of
// them the effect's pass was first drawn with.
TEST_P(MaterialEffects, GeometriesSharingAnEffectEachDrawTheirOwnVertices) {
  Ref<ColorEffect> effect(new ColorEffect(String("shared")));
  effect->SetColor(Color{0, 0, 1, 1});
  effect->cull = false;
  auto square = [&](float left) {
    const Vector3 corners[4] = {{left, 1, 0}, {left + 1.5f, 1, 0}, {left + 1.5f, -1, 0}, {left, -1, 0}};
    const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
    Ref<Triangles> node(new Triangles(String("square")));
    node->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
    node->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
    node->UpdateModelBound();
    node->SetEffect(effect.Get());
    node->UpdateGeometricState(0, false);
    return node;
  };
  Ref<Triangles> left = square(-2.0f), right = square(0.5f);
  renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  left->Draw(renderer_);
  right->Draw(renderer_);
  renderer_->EndFrame();
  EXPECT_EQ(Pixel(20, 32), (Rgb{0, 0, 255}));
  EXPECT_EQ(Pixel(44, 32), (Rgb{0, 0, 255}));
  // The next frame draws only the second: it stands where its own vertices
  // put it, and nothing is left where the first was.
  Frame(right.Get());
  EXPECT_EQ(Pixel(20, 32), (Rgb{0, 0, 0}));
  EXPECT_EQ(Pixel(44, 32), (Rgb{0, 0, 255}));
}

// Blended geometry waits for the sorted queue and is drawn far to near.
TEST_P(MaterialEffects, BlendedGeometryIsDrawnFarthestFirst) {
  auto layer = [&](float z, const Color& color) {
    Ref<ColorEffect> effect(new ColorEffect(String()));
    effect->SetColor(color);
    effect->cull = false;
    effect->blend = true;  // source alpha, inverse source alpha
    effect->depthWrite = false;
    Ref<Triangles> quad = Quad(effect.Get());
    SetTranslation(quad->LocalTransform(), {0, 0, z});
    quad->UpdateGeometricState(0, false);
    return quad;
  };
  // Drawn in tree order near then far; the queue puts the far one first,
  // so the near (red, half transparent) one ends on top.
  Ref<Triangles> nearQuad = layer(0, Color{1, 0, 0, 0.5f});
  Ref<Triangles> farQuad = layer(3, Color{0, 0, 1, 1});
  renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  nearQuad->Draw(renderer_);
  farQuad->Draw(renderer_);
  EXPECT_EQ(Pixel(32, 32), (Rgb{0, 0, 0}));  // nothing drawn before the flush
  renderer_->EndFrame();
  const Rgb mixed = Pixel(32, 32);
  EXPECT_NEAR(mixed.r, 128, 2);
  EXPECT_NEAR(mixed.b, 127, 2);
}

INSTANTIATE_TEST_SUITE_P(Techniques, MaterialEffects, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Shader" : "FixedFunction"; });

}  // namespace
}  // namespace klx
