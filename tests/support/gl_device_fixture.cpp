#include "support/gl_device_fixture.h"

#include <cstdlib>
#include <ostream>

#include "platform/displays.h"

namespace klx::test {

std::ostream& operator<<(std::ostream& out, const Rgba& color) {
  return out << "(" << color.r << ", " << color.g << ", " << color.b << ", " << color.a << ")";
}

::testing::AssertionResult Near(const Rgba& actual, const Rgba& expected, int tolerance) {
  if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
      std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}

void GlDeviceTest::SetUp() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // SDL unloads the GL libraries with its video part; their thread-local
  // data must stay mapped for the leak checker's scan at exit.
  KeepGraphicsLibrariesLoaded();
  std::string why;
  if (!MakeDevice(d3d::DeviceSettings{kWidth, kHeight, d3d::kFmtA8R8G8B8}, &why)) GTEST_SKIP() << "no GL device: " << why;
}

bool GlDeviceTest::MakeDevice(const d3d::DeviceSettings& settings, std::string* why) {
  TearDown();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *why = SDL_GetError();
    return false;
  }
  window_ = SDL_CreateWindow("device test", 0, 0, static_cast<int>(settings.width),
                             static_cast<int>(settings.height), SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    *why = SDL_GetError();
    return false;
  }
  device_ = d3d::CreateGlDevice(window_, settings, why);
  return device_ != nullptr;
}

void GlDeviceTest::TearDown() {
  declaration_.reset();
  buffers_.clear();
  indexBuffers_.clear();
  device_.reset();
  if (window_ != nullptr) {
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

void GlDeviceTest::PlainStates() {
  device_->SetRenderState(d3d::kRsLighting, 0);
  device_->SetRenderState(d3d::kRsCullMode, d3d::kCullNone);
  device_->SetRenderState(d3d::kRsZEnable, 0);
  // Stage 0 passes the vertex colour through.
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaDiffuse);
  device_->SetTextureStageState(0, d3d::kTssAlphaOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssAlphaArg1, d3d::kTaDiffuse);
}

void GlDeviceTest::BindVertices(const std::vector<TestVertex>& vertices) {
  if (!declaration_) {
    declaration_ = device_->CreateVertexDeclaration({
        {0, 0, d3d::kDeclFloat3, d3d::kUsagePosition, 0},
        {0, 12, d3d::kDeclFloat3, d3d::kUsageNormal, 0},
        {0, 24, d3d::kDeclColor, d3d::kUsageColor, 0},
        {0, 28, d3d::kDeclFloat2, d3d::kUsageTexCoord, 0},
    });
  }
  const uint32_t size = static_cast<uint32_t>(vertices.size() * sizeof(TestVertex));
  buffers_.push_back(device_->CreateVertexBuffer(size));
  buffers_.back()->Write(0, vertices.data(), size);
  device_->SetVertexDeclaration(declaration_.get());
  device_->SetStreamSource(0, buffers_.back().get(), 0, sizeof(TestVertex));
}

void GlDeviceTest::Draw(d3d::PrimitiveType type, const std::vector<TestVertex>& vertices, uint32_t count) {
  BindVertices(vertices);
  device_->DrawPrimitive(type, 0, count);
}

void GlDeviceTest::DrawIndexed(d3d::PrimitiveType type, const std::vector<TestVertex>& vertices,
                               const std::vector<uint32_t>& indices, bool wide, uint32_t count) {
  BindVertices(vertices);
  std::vector<uint8_t> bytes;
  for (uint32_t index : indices) {
    for (uint32_t i = 0; i < (wide ? 4u : 2u); ++i) bytes.push_back(static_cast<uint8_t>(index >> (8 * i)));
  }
  indexBuffers_.push_back(device_->CreateIndexBuffer(static_cast<uint32_t>(bytes.size()),
                                                      wide ? d3d::kFmtIndex32 : d3d::kFmtIndex16));
  indexBuffers_.back()->Write(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
  device_->SetIndices(indexBuffers_.back().get());
  device_->DrawIndexedPrimitive(type, 0, 0, static_cast<uint32_t>(vertices.size()), 0, count);
}

std::vector<TestVertex> GlDeviceTest::Quad(float x0, float y0, float x1, float y1, float z, uint32_t color,
                                           float u0, float v0, float u1, float v1) {
  const TestVertex a{ClipX(x0), ClipY(y0), z, 0, 0, -1, color, u0, v0};
  const TestVertex b{ClipX(x1), ClipY(y0), z, 0, 0, -1, color, u1, v0};
  const TestVertex c{ClipX(x1), ClipY(y1), z, 0, 0, -1, color, u1, v1};
  const TestVertex d{ClipX(x0), ClipY(y1), z, 0, 0, -1, color, u0, v1};
  return {a, b, c, a, c, d};  // clockwise on screen
}

Rgba GlDeviceTest::Pixel(uint32_t x, uint32_t y) {
  std::vector<uint8_t> rgba;
  if (!device_->ReadPixels(x, y, 1, 1, &rgba)) return Rgba{-1, -1, -1, -1};
  return Rgba{rgba[0], rgba[1], rgba[2], rgba[3]};
}

}  // namespace klx::test
