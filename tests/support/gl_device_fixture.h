#pragma once
// A GL device on SDL's offscreen driver (EGL on Mesa's llvmpipe) for the
// device-layer tests, with helpers that draw small vertex lists and read
// pixels back. Tests skip where no GL context can be had.

#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"
#include "gl/gl_device.h"

namespace klx::test {

// One vertex of the helper draws: position, colour (8-bit ARGB), normal and
// a texture coordinate.
struct TestVertex {
  float x, y, z;
  float nx, ny, nz;
  uint32_t color;
  float u, v;
};

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& color);

class GlDeviceTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kWidth = 64;
  static constexpr uint32_t kHeight = 64;

  void SetUp() override;
  void TearDown() override;

  // Makes the device over a fresh window (the fixture's has an A8R8G8B8
  // back buffer, so alpha can be read back); false (with the reason) when GL
  // cannot be had.
  bool MakeDevice(const d3d::DeviceSettings& settings, std::string* why);

  // The declaration of TestVertex and a buffer holding `vertices`, both
  // bound; world, view and projection are identity unless a test sets them.
  void BindVertices(const std::vector<TestVertex>& vertices);
  void Draw(d3d::PrimitiveType type, const std::vector<TestVertex>& vertices, uint32_t count);
  void DrawIndexed(d3d::PrimitiveType type, const std::vector<TestVertex>& vertices,
                   const std::vector<uint32_t>& indices, bool wide, uint32_t count);
  // A quad over the pixel rectangle [x0, x1) x [y0, y1) (top-left origin)
  // at depth z, as two clockwise triangles.
  static std::vector<TestVertex> Quad(float x0, float y0, float x1, float y1, float z, uint32_t color,
                                      float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1);
  // Pixel coordinates to clip space for an identity projection.
  static float ClipX(float x) { return 2.0f * x / kWidth - 1.0f; }
  static float ClipY(float y) { return 1.0f - 2.0f * y / kHeight; }

  Rgba Pixel(uint32_t x, uint32_t y);
  // No lighting, no culling, depth test off: the plain state most tests
  // start from.
  void PlainStates();

  SDL_Window* window_ = nullptr;
  std::unique_ptr<d3d::Device> device_;
  std::unique_ptr<d3d::VertexDeclaration> declaration_;
  std::vector<std::unique_ptr<d3d::VertexBuffer>> buffers_;
  std::vector<std::unique_ptr<d3d::IndexBuffer>> indexBuffers_;
};

// Near: each channel within `tolerance`.
::testing::AssertionResult Near(const Rgba& actual, const Rgba& expected, int tolerance = 2);

}  // namespace klx::test
