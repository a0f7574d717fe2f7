#pragma once
// The renderer that drives a device (d3d::Device): configurations probed
// from the displays, the device made for the render window by the factory
// it was given, device copies of engine resources (DeviceResourceCache),
// passes recorded once into device state blocks and replayed, the
// render-target stack (RenderTargetStack) and the lost-device path. The
// "OpenGL" renderer module gives it the OpenGL device.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"
#include "render/device_resource_cache.h"
#include "render/render_target_stack.h"
#include "render/renderer.h"

namespace klx {

struct SystemWindow;

// Makes the device for the render window; null with `error` set when it
// cannot.
using DeviceFactory =
    std::function<std::unique_ptr<d3d::Device>(SystemWindow* window, const d3d::DeviceSettings& settings,
                                                std::string* error)>;

class DeviceRenderer : public Renderer {
 public:
  explicit DeviceRenderer(DeviceFactory makeDevice);
  ~DeviceRenderer() override;

  d3d::Device* GetDevice() const { return device_.get(); }
  // The number of device copies the renderer holds (for tests).
  size_t GetDeviceObjectCount() const override { return cache_.Count(); }

  int CreateDevice(int32_t configuration, const String& title, uint64_t parentWindow, int32_t x, int32_t y,
                   int32_t width, int32_t height) override;
  int ReleaseDevice() override;
  void ReleaseBuffer(Buffer* buffer) override;
  void ReleaseTexture(BaseTexture* texture) override;
  void ReleaseShader(Shader* shader) override;
  void ReleasePass(Pass* pass) override;
  void ReleaseQuery(OcclusionQuery* query) override;
  void ReleaseRenderStateBlock(RenderStateBlock* block) override;

  void BeginQuery(OcclusionQuery* query) override;
  void EndQuery(OcclusionQuery* query) override;
  void SetTexture(BaseTexture* texture, int32_t stage) override;
  void SetVertexShader(VertexShader* shader) override;
  void SetVertexShaderConstants(int32_t start, const float* data, int32_t count) override;
  void SetPixelShader(PixelShader* shader) override;
  void SetPixelShaderConstants(int32_t start, const float* data, int32_t count) override;
  void SetTexCoords(Buffer* buffer, int32_t set) override;
  void SetColors(ColorBuffer* buffer) override;
  void SetPositions(Buffer* buffer) override;
  void SetPointSizes(FloatBuffer* buffer) override;
  void SetNormals(Vector3Buffer* buffer) override;
  void SetBlendWeights(Vector4Buffer* buffer) override;
  void SetBlendIndices(Vector4Buffer* buffer) override;
  void SetIndices(IntBuffer* buffer) override;
  void BeginPass(Pass* pass) override;
  void DrawIndexed(int32_t primitiveKind, int32_t vertexCount, int32_t indexCount) override;
  void DrawPrimitives(int32_t primitiveKind, int32_t primitiveCount) override;
  void DrawIndexedStreams(int32_t primitiveKind, Buffer* positions, IntBuffer* indices, Vector4Buffer* weights,
                          Vector4Buffer* blendIndices, Buffer* texCoords) override;
  void Clear(uint32_t flags, const Color& color, float depth, uint32_t stencil) override;
  int BeginScene() override;
  void EndScene() override;
  void SetWorldMatrix(const Matrix4& matrix) override;
  void SetViewMatrix(const Matrix4& matrix) override;
  void SetProjectionMatrix(const Matrix4& matrix) override;
  void SetTextureMatrix(int32_t stage, const Matrix4& matrix) override;
  void ApplyLight(Light* light) override;
  void RemoveLight() override;
  int BeginRenderToCubeFace(int32_t face, CubeTexture* texture) override;
  int BeginRenderToTexture(Texture* texture) override;
  int BeginRenderToShadowMap(Texture* texture, float depthBias, float slopeBias) override;
  void SetViewport(const Vector2& origin, const Vector2& size) override;
  void SetGamma(int32_t gamma) override;
  void ApplyRenderStateBlock(RenderStateBlock* block) override;

  DeviceResourceCache& Resources() { return cache_; }

 protected:
  bool RendersToTexture() const override { return !targets_.IsEmpty(); }

 private:
  void LogCapabilities();
  void ApplyDrawAdjustments();
  void ReleaseAllDeviceObjects();
  void AppendElement(Buffer* buffer, uint8_t type, uint8_t usage, uint8_t usageIndex, uint32_t stride);
  bool FinishRecording();
  // The viewport follows the size of the target drawn into.
  void TargetChanged();
  int PopTarget();
  void Draw(int32_t primitiveKind, bool indexed, uint32_t primitiveCount, uint32_t vertexCount);

  DeviceFactory makeDevice_;
  bool videoHeld_ = false;
  std::unique_ptr<d3d::Device> device_;
  DeviceResourceCache cache_{this};
  RenderTargetStack targets_{cache_};
  std::vector<d3d::VertexElement> elements_;
  // The stream the next stream setter binds: setters number their streams
  // in call order from each pass's start, recording or not.
  uint16_t nextStream_ = 0;
  bool wideIndices_ = true;
  bool hardwareVertexProcessing_ = true;
};


}  // namespace klx
