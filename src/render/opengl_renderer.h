#pragma once
// The renderer on the device layer (OpenGL underneath): configurations
// probed from the displays, the device made for the render window, device
// copies of engine resources created on first use and uploaded again when
// marked changed, passes recorded once into device state blocks and
// replayed, the render-target stack and the lost-device path.

#include <memory>
#include <unordered_map>
#include <vector>

#include "render/gl/device.h"
#include "render/device_handle.h"
#include "render/renderer.h"

namespace klx {

class OpenGLRenderer : public Renderer {
 public:
  OpenGLRenderer();
  ~OpenGLRenderer() override;

  d3d::Device* GetDevice() const { return device_.get(); }
  // The number of device copies the renderer holds (for tests).
  size_t GetDeviceObjectCount() const { return table_.size(); }

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

  // The device copy of a resource, made or refreshed as needed; null when
  // it cannot be made.
  d3d::VertexBuffer* VertexBufferOf(Buffer* buffer);
  d3d::IndexBuffer* IndexBufferOf(IntBuffer* buffer);
  d3d::BaseTexture* TextureOf(BaseTexture* texture);

 private:
  struct Target {
    d3d::BaseTexture* color = nullptr;  // null: the back buffer
    uint32_t face = 0;
    d3d::DepthStencilSurface* depth = nullptr;
    d3d::BaseTexture* depthTexture = nullptr;
  };
  struct StackEntry {
    BaseTexture* texture = nullptr;
    Target saved;
  };

  void EnumerateConfigurations();
  void LogCapabilities();
  void Forget(Object* resource);
  // Deletes a resource's device copy and clears its handle.
  void DropCopy(Object* resource, DeviceHandle& handle);
  void ApplyDrawAdjustments();
  void ReleaseAllDeviceObjects();
  void AppendElement(Buffer* buffer, uint8_t type, uint8_t usage, uint8_t usageIndex, uint32_t stride);
  bool FinishRecording();
  void BindTarget(const Target& target);
  int PopTarget();
  d3d::BaseTexture* RenderTargetOf(BaseTexture* texture, bool cube, uint32_t edge, uint32_t width,
                                   uint32_t height, d3d::Format format);
  bool UploadTexture(BaseTexture* texture, d3d::BaseTexture* copy);
  void Draw(int32_t primitiveKind, bool indexed, uint32_t primitiveCount, uint32_t vertexCount);

  bool videoHeld_ = false;
  std::unique_ptr<d3d::Device> device_;
  // Device copies by the resource's object ID.
  std::unordered_map<int32_t, Object*> table_;
  std::unordered_map<int32_t, std::unique_ptr<d3d::DepthStencilSurface>> ownDepth_;
  std::vector<d3d::VertexElement> elements_;
  std::vector<StackEntry> targetStack_;
  Target target_;
  bool wideIndices_ = true;
  bool hardwareVertexProcessing_ = true;
};

// The renderer module's entries, for the module registration.
int CreateOpenGLRenderer(Renderer** out);

}  // namespace klx
