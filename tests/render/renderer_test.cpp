// The renderer on the device layer, headless on SDL's offscreen driver:
// configurations and capabilities, textures of each image format uploaded
// the right way up, buffers uploaded again only when changed, the index
// width, passes recorded once and replayed, render-state translation, the
// texture-matrix rule, the gamma ramp and the lost-device rebuild, and
// decoded pictures freed once the device holds them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "device/device.h"
#include "render/device_renderer.h"
#include "render/pass.h"
#include "render/post_update_controller.h"
#include "render/render_state_block.h"
#include "render/texture.h"
#include "scene/data_buffer.h"
#include "support/engine_fixture.h"
#include "support/image_test_support.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

using test::Text;

// A pass that always draws.
class PlainPass : public Pass {
 public:
  PlainPass() : Pass(String("plain")) {}
  int Apply() override { return 0; }
};

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

class RendererTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(32, 32, "renderer test");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
  }
  void TearDown() override {
    pass_ = nullptr;
    ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  Rgba Pixel(uint32_t x, uint32_t y) {
    std::vector<uint8_t> rgba;
    if (!renderer_->GetDevice()->ReadPixels(x, y, 1, 1, &rgba)) return Rgba{-1, -1, -1, -1};
    return Rgba{rgba[0], rgba[1], rgba[2], rgba[3]};
  }

  // A quad over the whole target with texture coordinates 0..1, drawn with
  // `pass` through the renderer's stream setters.
  void DrawQuad(Pass* pass, BaseTexture* texture) {
    renderer_->SetCurrentPass(pass);
    renderer_->BeginPass(pass);
    renderer_->SetTexture(texture, 0);
    renderer_->SetPositions(positions_.Get());
    renderer_->SetTexCoords(coordinates_.Get(), 0);
    renderer_->SetIndices(indices_.Get());
    renderer_->DrawIndexed(3, 4, 6);
  }

  void MakeQuad() {
    const Vector3 corners[4] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {1, -1, 0.5f}, {-1, -1, 0.5f}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int32_t list[6] = {0, 1, 2, 0, 2, 3};
    positions_ = new Vector3Buffer(String("positions"), 4, corners);
    coordinates_ = new Vector2Buffer(String("uv"), 4, uv);
    indices_ = new IntBuffer(String("indices"), 6, list);
    pass_ = new PlainPass();
    // The texture alone, unlit, both faces.
    RenderStateBlock* block = pass_->GetRenderStateBlock();
    block->cullEnable = false;
    block->depthEnable = false;
    block->stages[0].mode = 0;  // replace
    block->stages[0].magnificationFilter = 0;
    block->stages[0].minificationFilter = 0;
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Vector3Buffer> positions_;
  Ref<Vector2Buffer> coordinates_;
  Ref<IntBuffer> indices_;
  Ref<PlainPass> pass_;
};

TEST_F(RendererTest, DeviceCreationLogsTheCapabilities) {
  for (const char* line : {"Created HARDWARE VERTEXPROCESSING", "COLOR BPP 32", "Stencil BPP 8", "VERTEX SHADER 1",
                           "PIXEL SHADER 1", "Occlusion Query [true]", "Hardware Shadowmaps [true]",
                           "A16B16G16R16F Textures [true]"}) {
    EXPECT_TRUE(log_->Has(kLogInfo, line)) << line;
  }
  // llvmpipe's points are far below 8000 pixels: no point sprites.
  EXPECT_FALSE(renderer_->GetCaps().pointSprites);
  EXPECT_TRUE(log_->Has(kLogInfo, "Point Sprites [false]"));
  EXPECT_EQ(renderer_->GetViewportWidth(), 32);
  // Clear, an empty frame, present.
  renderer_->Clear(kClearTarget | kClearDepth, Color{1, 0, 0, 1}, 1.0f, 0);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  ASSERT_NE(renderer_->GetCamera(), nullptr);  // a default camera appeared
  renderer_->EndFrame();
  EXPECT_EQ(Pixel(5, 5), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(renderer_->GetClearColor(), (Color{1, 0, 0, 1}));
}

TEST_F(RendererTest, TexturesOfEachImageFormatArriveTheRightWayUp) {
  MakeQuad();
  // 2x2, rows bottom first: bottom row blue, white; top row red, green.
  const struct {
    uint32_t format;
    std::vector<uint8_t> pixels;
    Rgba topLeft, bottomRight;
  } cases[] = {
      {kImageRGB8, {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0}, {255, 0, 0, 255}, {255, 255, 255, 255}},
      {kImageRGBA8,
       {0, 0, 255, 255, 255, 255, 255, 128, 255, 0, 0, 255, 0, 255, 0, 64},
       {255, 0, 0, 255},
       {255, 255, 255, 128}},
      // One byte of alpha: (0, 0, 0, a).
      {kImageA8, {10, 20, 30, 40}, {0, 0, 0, 30}, {0, 0, 0, 20}},
  };
  for (const auto& c : cases) {
    Ref<Image> image(new Image(String("img"), c.format, 2, 2));
    ASSERT_NE(image->GetPixels(), nullptr);
    std::copy(c.pixels.begin(), c.pixels.end(), image->EditPixels());
    Ref<Texture> texture(new Texture(String("tex")));
    texture->SetImage(image.Get());
    renderer_->Clear(kClearTarget, Color{0, 0, 0, 1}, 1.0f, 0);
    DrawQuad(pass_.Get(), texture.Get());
    EXPECT_EQ(Pixel(4, 4), c.topLeft) << c.format;
    EXPECT_EQ(Pixel(27, 27), c.bottomRight) << c.format;
    EXPECT_EQ(texture->GetMipMapCount(), 2);  // a full chain for 2x2
    EXPECT_FALSE(texture->Handle().changed);
  }
}

TEST_F(RendererTest, ChangedBuffersAreUploadedAgainAndUnchangedOnesAreNot) {
  MakeQuad();
  Ref<Image> image(new Image(String("img"), kImageRGB8, 1, 1));
  ASSERT_NE(image->GetPixels(), nullptr);
  image->EditPixels()[0] = 0;
  image->EditPixels()[1] = 255;
  image->EditPixels()[2] = 0;
  Ref<Texture> texture(new Texture(String("green")));
  texture->SetImage(image.Get());
  DrawQuad(pass_.Get(), texture.Get());
  void* const positionsCopy = positions_->Handle().handle;
  void* const passCopy = pass_->Handle().handle;
  ASSERT_NE(positionsCopy, nullptr);
  EXPECT_FALSE(positions_->IsChanged());
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 255, 0, 255}));
  // Indices are 32-bit where the device takes more than 65536 vertices.
  ASSERT_NE(renderer_->Resources().IndexBufferOf(indices_.Get()), nullptr);
  EXPECT_EQ(renderer_->Resources().IndexBufferOf(indices_.Get())->GetFormat(), d3d::kFmtIndex32);

  // Shrink the quad to the left half: the changed positions go up again,
  // the pass is replayed, not recorded again.
  positions_->Elements()[1].x = 0;
  positions_->Elements()[2].x = 0;
  positions_->MarkChanged();
  renderer_->Clear(kClearTarget, Color{0, 0, 0, 1}, 1.0f, 0);
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_EQ(Pixel(8, 16), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(Pixel(24, 16), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(positions_->Handle().handle, positionsCopy);
  EXPECT_EQ(pass_->Handle().handle, passCopy);
  EXPECT_FALSE(positions_->IsChanged());

  // An invalidated pass is recorded again at its next use.
  pass_->Invalidate();
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_NE(pass_->Handle().handle, nullptr);
  EXPECT_FALSE(pass_->Handle().changed);
}

TEST_F(RendererTest, ALostDeviceDropsEveryCopyAndTheNextFrameRebuilds) {
  MakeQuad();
  Ref<Image> image(new Image(String("img"), kImageRGB8, 1, 1));
  ASSERT_NE(image->GetPixels(), nullptr);
  image->EditPixels()[0] = 255;
  image->EditPixels()[1] = 0;
  image->EditPixels()[2] = 0;
  Ref<Texture> texture(new Texture(String("red")));
  texture->SetImage(image.Get());
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_GT(renderer_->GetDeviceObjectCount(), 0u);
  renderer_->GetDevice()->SimulateLostFrames(1);
  EXPECT_EQ(renderer_->BeginScene(), 1);
  EXPECT_EQ(renderer_->GetDeviceObjectCount(), 0u);
  EXPECT_EQ(positions_->Handle().handle, nullptr);
  EXPECT_TRUE(texture->Handle().changed);
  EXPECT_EQ(pass_->Handle().handle, nullptr);
  // Back again: everything is made on its next use.
  ASSERT_EQ(renderer_->BeginScene(), 0);
  renderer_->Clear(kClearTarget, Color{0, 0, 0, 1}, 1.0f, 0);
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_EQ(Pixel(16, 16), (Rgba{255, 0, 0, 255}));
}

TEST_F(RendererTest, ADecodedPictureIsFreedOnceUploadedAndDecodedAgainWhenTheDeviceIsLost) {
  MakeQuad();
  // A blue Targa in the file system.
  Ref<Image> blue(new Image(String("blue"), kImageRGB8, 2, 2));
  for (int i = 0; i < 4; ++i) {
    blue->EditPixels()[i * 3] = 0;
    blue->EditPixels()[i * 3 + 1] = 0;
    blue->EditPixels()[i * 3 + 2] = 255;
  }
  std::vector<uint8_t> targa;
  ASSERT_EQ(test::EncodeWithEngine(blue.Get(), "blue.tga", &targa), 0);
  auto* file = new MemoryFile(String("blue.tga"));
  auto* content = new uint8_t[targa.size()];
  std::copy(targa.begin(), targa.end(), content);
  file->SetContent(content, static_cast<int32_t>(targa.size()));
  auto* folder = new VirtualDirectory(String("Pictures"), FileManager::GetRoot());
  ASSERT_EQ(folder->AddFile(file), 0);

  Ref<Image> image(new Image(FileManager::FindFile(String("blue.tga")), String()));
  ASSERT_NE(image->GetPixels(), nullptr);
  Ref<Texture> texture(new Texture(String("blue")));
  texture->SetImage(image.Get());
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(image->GetPixels(), nullptr);
  EXPECT_EQ(image->GetWidth(), 2u);

  // A lost device drops the copy: the next use decodes the file again.
  renderer_->GetDevice()->SimulateLostFrames(1);
  EXPECT_EQ(renderer_->BeginScene(), 1);
  ASSERT_EQ(renderer_->BeginScene(), 0);
  renderer_->Clear(kClearTarget, Color{0, 0, 0, 1}, 1.0f, 0);
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(image->GetPixels(), nullptr);

  // A decoded picture changed in place no longer matches its file: it keeps
  // its pixels, and the device gets the change.
  Ref<Image> edited(new Image(FileManager::FindFile(String("blue.tga")), String("edited")));
  ASSERT_NE(edited->GetPixels(), nullptr);
  for (int i = 0; i < 4; ++i) edited->EditPixels()[i * 3 + 1] = 255;
  Ref<Texture> cyan(new Texture(String("cyan")));
  cyan->SetImage(edited.Get());
  DrawQuad(pass_.Get(), cyan.Get());
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 255, 255, 255}));
  EXPECT_NE(edited->GetPixels(), nullptr);
}

TEST_F(RendererTest, AResourceThatGoesDropsItsCopyFromTheRendererThatMadeIt) {
  MakeQuad();
  Ref<Image> image(new Image(String("img"), kImageRGB8, 1, 1));
  ASSERT_NE(image->GetPixels(), nullptr);
  Ref<Texture> texture(new Texture(String("t")));
  texture->SetImage(image.Get());
  DrawQuad(pass_.Get(), texture.Get());
  EXPECT_EQ(positions_->Handle().owner.Get(), static_cast<DeviceCopyOwner*>(renderer_));
  EXPECT_EQ(texture->Handle().owner.Get(), static_cast<DeviceCopyOwner*>(renderer_));
  const size_t copies = renderer_->GetDeviceObjectCount();
  positions_ = nullptr;
  EXPECT_EQ(renderer_->GetDeviceObjectCount(), copies - 1);
  texture = nullptr;
  EXPECT_EQ(renderer_->GetDeviceObjectCount(), copies - 2);
  // The pass and its state block go together.
  pass_ = nullptr;
  EXPECT_EQ(renderer_->GetDeviceObjectCount(), copies - 4);
}

// Counts its runs and says when it is destroyed.
class CountingListener : public PostUpdateController {
 public:
  CountingListener(int* runs, bool* destroyed) : PostUpdateController(String("listener")), runs_(runs), destroyed_(destroyed) {}
  ~CountingListener() override { *destroyed_ = true; }
  void PostUpdate() override { ++*runs_; }

 private:
  int* runs_;
  bool* destroyed_;
};

TEST_F(RendererTest, FrameListenersRunOnceAtTheNextFrameAndAreHeldUntilThen) {
  int runs = 0;
  bool destroyed = false;
  {
    Ref<CountingListener> listener(new CountingListener(&runs, &destroyed));
    listener->Update(0.0);  // an active controller registers itself
    listener->Update(0.0);  // once
    EXPECT_EQ(renderer_->AddFrameListener(listener.Get()), 0);
  }
  EXPECT_FALSE(destroyed) << "the renderer holds a listener until it has run";
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  renderer_->EndFrame();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(destroyed);

  // An inactive controller does not register; a plain listener runs without
  // being held.
  Ref<CountingListener> inactive(new CountingListener(&runs, &destroyed));
  inactive->SetActive(false);
  inactive->Update(0.0);
  struct PlainListener : FrameListener {
    int runs = 0;
    void PostUpdate() override { ++runs; }
    RefCounted* GetListenerObject() override { return nullptr; }
  } plain;
  EXPECT_EQ(renderer_->AddFrameListener(&plain), 0);
  EXPECT_EQ(renderer_->AddFrameListener(nullptr), -1);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  renderer_->EndFrame();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(plain.runs, 1);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);  // nobody registered again
  renderer_->EndFrame();
  EXPECT_EQ(plain.runs, 1);
}

// Records the order it was drawn in.
class OrderDrawable : public Drawable {
 public:
  OrderDrawable(int id, std::vector<int>* order) : id_(id), order_(order) {}
  void DrawQueued(DrawContext*) override { order_->push_back(id_); }

 private:
  int id_;
  std::vector<int>* order_;
};

TEST_F(RendererTest, QueuesDrawFarthestFirstThenTheFinalOnesInOrder) {
  std::vector<int> order;
  OrderDrawable near(1, &order), far(2, &order), middle(3, &order), last1(4, &order), last2(5, &order);
  renderer_->QueueFinal(&last1);
  renderer_->QueueSorted(&near, 1.0f);
  renderer_->QueueSorted(&far, 100.0f);
  renderer_->QueueFinal(&last2);
  renderer_->QueueSorted(&middle, 10.0f);
  renderer_->FlushQueues();
  EXPECT_EQ(order, (std::vector<int>{2, 3, 1, 4, 5}));
  renderer_->FlushQueues();  // emptied
  EXPECT_EQ(order.size(), 5u);
  // The draw traversal culls against the active camera's planes.
  EXPECT_EQ(renderer_->GetActiveFrustum(), nullptr);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  renderer_->EndFrame();
  ASSERT_NE(renderer_->GetActiveFrustum(), nullptr);
  EXPECT_EQ(renderer_->GetActiveFrustum(), &renderer_->GetCamera()->Frustum());
}

TEST_F(RendererTest, RenderToATextureThenSampleIt) {
  MakeQuad();
  // The target: an 8x8 image, drawn green by a texture of one green texel.
  Ref<Image> targetImage(new Image(String("target"), kImageRGBA8, 8, 8));
  Ref<Texture> target(new Texture(String("target")));
  target->SetImage(targetImage.Get());
  Ref<Image> green(new Image(String("green"), kImageRGB8, 1, 1));
  green->EditPixels()[0] = 0;
  green->EditPixels()[1] = 255;
  green->EditPixels()[2] = 0;
  Ref<Texture> greenTexture(new Texture(String("green")));
  greenTexture->SetImage(green.Get());
  ASSERT_EQ(renderer_->BeginRenderToTexture(target.Get()), kOk);
  EXPECT_EQ(renderer_->GetViewportWidth(), 8);
  renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
  DrawQuad(pass_.Get(), greenTexture.Get());
  // While it is rendered into, the target cannot be bound as a texture.
  renderer_->SetTexture(target.Get(), 1);
  ASSERT_EQ(renderer_->BeginRenderToTexture(nullptr), kOk);
  EXPECT_EQ(renderer_->GetViewportWidth(), 32);
  EXPECT_EQ(target->GetMipMapCount(), 1);
  renderer_->Clear(kClearTarget, Color{0, 0, 0, 1}, 1.0f, 0);
  DrawQuad(pass_.Get(), target.Get());
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(renderer_->BeginRenderToTexture(nullptr), kFailed);  // nothing left to end
  // A shadow map: depth only, the viewport kept.
  Ref<Image> depthImage(new Image(String("shadow"), kImageDepthTarget, 16, 16));
  Ref<Texture> shadow(new Texture(String("shadow")));
  shadow->SetImage(depthImage.Get());
  ASSERT_EQ(renderer_->BeginRenderToShadowMap(shadow.Get(), 4.0f, 1.5f), kOk);
  EXPECT_EQ(d3d::BitsFloat(renderer_->GetDevice()->GetRenderState(d3d::kRsSlopeScaleDepthBias)), 1.5f);
  // Casters write depth alone, and colour again once the map is done.
  EXPECT_EQ(renderer_->GetDevice()->GetRenderState(d3d::kRsColorWriteEnable), 0u);
  ASSERT_EQ(renderer_->BeginRenderToShadowMap(nullptr, 0, 0), kOk);
  EXPECT_EQ(renderer_->GetDevice()->GetRenderState(d3d::kRsSlopeScaleDepthBias), 0u);
  EXPECT_EQ(renderer_->GetDevice()->GetRenderState(d3d::kRsColorWriteEnable), 0xFu);
}

TEST_F(RendererTest, RenderStatesTranslateFieldByField) {
  Ref<RenderStateBlock> block(new RenderStateBlock(String()));
  block->blendEnable = true;
  block->sourceBlend = 1;       // one
  block->destinationBlend = 9;  // inverse destination alpha
  block->alphaTestEnable = true;
  block->alphaFunction = 6;     // greater-equal
  block->alphaReference = 300;  // clamped to 255
  block->cullMode = 0;          // clockwise
  block->fogEnable = true;
  block->fogMode = 2;
  block->fogDensity = 0.25f;
  block->pixelFog = true;
  block->depthFunction = 5;
  block->stencilPass = 2;
  block->wireframe = true;
  block->stages[1].mode = 5;
  block->stages[1].colorOperation = 5;  // lerp: three arguments
  block->stages[1].colorArgument0 = 1;  // diffuse
  block->stages[1].colorModifier0 = 3;  // complement and alpha replicate
  block->stages[1].addressU = 0;
  block->stages[1].minificationFilter = 3;
  block->stages[1].coordinateGeneration = 5;
  block->stages[7].textureFactor = Color{1, 0, 0, 1};
  block->pointSprites = true;
  d3d::Device& device = *renderer_->GetDevice();
  TranslateRenderStates(*block, device, false);
  EXPECT_EQ(device.GetRenderState(d3d::kRsAlphaBlendEnable), 1u);
  EXPECT_EQ(device.GetRenderState(d3d::kRsSrcBlend), d3d::kBlendOne);
  EXPECT_EQ(device.GetRenderState(d3d::kRsDestBlend), d3d::kBlendInvDestAlpha);
  EXPECT_EQ(device.GetRenderState(d3d::kRsDestBlendAlpha), d3d::kBlendInvDestAlpha);
  EXPECT_EQ(device.GetRenderState(d3d::kRsAlphaFunc), d3d::kCmpGreaterEqual);
  EXPECT_EQ(device.GetRenderState(d3d::kRsAlphaRef), 255u);
  EXPECT_EQ(device.GetRenderState(d3d::kRsCullMode), d3d::kCullCw);
  EXPECT_EQ(device.GetRenderState(d3d::kRsFogTableMode), d3d::kFogExp2);
  EXPECT_EQ(d3d::BitsFloat(device.GetRenderState(d3d::kRsFogDensity)), 0.25f);
  EXPECT_EQ(device.GetRenderState(d3d::kRsZFunc), d3d::kCmpGreater);
  EXPECT_EQ(device.GetRenderState(d3d::kRsStencilPass), d3d::kStencilIncrSat);
  EXPECT_EQ(device.GetRenderState(d3d::kRsFillMode), d3d::kFillWireframe);
  EXPECT_EQ(device.GetTextureStageState(1, d3d::kTssColorOp), d3d::kTopLerp);
  EXPECT_EQ(device.GetTextureStageState(1, d3d::kTssColorArg0),
            d3d::kTaDiffuse | d3d::kTaComplement | d3d::kTaAlphaReplicate);
  EXPECT_EQ(device.GetTextureStageState(1, d3d::kTssTexCoordIndex), 1u);  // pass-through, projected
  EXPECT_EQ(device.GetTextureStageState(1, d3d::kTssTextureTransformFlags), d3d::kTtffCount3 | d3d::kTtffProjected);
  EXPECT_EQ(device.GetTextureStageState(0, d3d::kTssColorOp), d3d::kTopModulate);
  EXPECT_EQ(device.GetSamplerState(1, d3d::kSampAddressU), d3d::kTaddressClamp);
  EXPECT_EQ(device.GetSamplerState(1, d3d::kSampMinFilter), d3d::kTexfPoint);
  EXPECT_EQ(device.GetSamplerState(1, d3d::kSampMipFilter), d3d::kTexfLinear);
  EXPECT_EQ(device.GetRenderState(d3d::kRsTextureFactor), 0xFFFF0000u);  // stage 7's factor
  EXPECT_EQ(device.GetRenderState(d3d::kRsPointSpriteEnable), 1u);
  EXPECT_EQ(d3d::BitsFloat(device.GetRenderState(d3d::kRsPointScaleC)), 1.0f);
}

TEST_F(RendererTest, TextureMatrixRuleAndGammaRamp) {
  d3d::Device& device = *renderer_->GetDevice();
  Matrix4 shift = Matrix4::Identity();
  shift.m[3][0] = 0.5f;
  renderer_->SetTextureMatrix(2, shift);
  EXPECT_EQ(device.GetTextureStageState(2, d3d::kTssTextureTransformFlags), d3d::kTtffCount3);
  renderer_->SetTextureMatrix(2, Matrix4::Identity());
  EXPECT_EQ(device.GetTextureStageState(2, d3d::kTssTextureTransformFlags), d3d::kTtffDisable);
  uint16_t ramp[256];
  Renderer::BuildGammaRamp(0, ramp);
  EXPECT_EQ(ramp[0], 0);
  EXPECT_EQ(ramp[1], 256);
  EXPECT_EQ(ramp[255], 65280);
  Renderer::BuildGammaRamp(100, ramp);
  EXPECT_EQ(ramp[0], 20000);
  EXPECT_EQ(ramp[255], 65535);  // saturates
  Renderer::BuildGammaRamp(-100, ramp);
  EXPECT_EQ(ramp[0], 0);
  EXPECT_EQ(ramp[100], 5600);
  // The offscreen display takes no ramp: logged, and the run goes on.
  renderer_->SetGamma(0);
  EXPECT_TRUE(log_->Has(kLogWarning, Text("Невозможно установить гамму [%d].", 0)));
}

}  // namespace
}  // namespace klx
