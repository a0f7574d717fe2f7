#pragma once
// The graphics device the renderer draws with: the Direct3D 9 calls it
// makes, with Direct3D's meaning (states, matrices in row-vector form,
// texture rows top first, pixel centres on integers, depth 0..1, clockwise
// cull modes as seen on screen). The OpenGL implementation hides every
// difference; an adapter over the real Direct3D 9 would be a thin file.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/d3d_types.h"


namespace klx::d3d {

// Every object the device makes; deleting it releases the device's copy.
class DeviceObject {
 public:
  virtual ~DeviceObject() = default;
};

class VertexBuffer : public DeviceObject {
 public:
  virtual uint32_t GetSize() const = 0;
  // Copies bytes in at an offset; false when they do not fit.
  virtual bool Write(uint32_t offset, const void* data, uint32_t size) = 0;
};

class IndexBuffer : public DeviceObject {
 public:
  virtual uint32_t GetSize() const = 0;
  virtual Format GetFormat() const = 0;  // kFmtIndex16 or kFmtIndex32
  virtual bool Write(uint32_t offset, const void* data, uint32_t size) = 0;
};

enum TextureKind : uint32_t {
  kTexture2D = 0,
  kTextureCube = 1,
  kTextureVolume = 2,
};

enum TextureUsage : uint32_t {
  kUsageNone = 0,
  kUsageRenderTarget = 1,
  kUsageDepthStencil = 2,
};

class BaseTexture : public DeviceObject {
 public:
  virtual TextureKind GetKind() const = 0;
  virtual Format GetFormat() const = 0;
  virtual uint32_t GetLevelCount() const = 0;
  virtual uint32_t GetUsage() const = 0;
  virtual uint32_t GetWidth() const = 0;   // level 0; the edge of a cube
  virtual uint32_t GetHeight() const = 0;
  virtual uint32_t GetDepth() const = 0;   // 1 unless a volume
  // Writes one level (one face of a cube) from memory laid out as Direct3D
  // lays the format out, rows top first, `rowPitch` bytes apart (and
  // `slicePitch` between the slices of a volume). False for a level, face
  // or texture that cannot take it (render targets, depth textures).
  virtual bool WriteLevel(uint32_t face, uint32_t level, const void* data, uint32_t rowPitch,
                          uint32_t slicePitch) = 0;
  // Fills levels 1.. from level 0 with a 2x2 (2x2x2) box filter.
  virtual bool GenerateMipChain() = 0;
};

// A depth-stencil surface made on its own (for render targets that need one).
class DepthStencilSurface : public DeviceObject {
 public:
  virtual uint32_t GetWidth() const = 0;
  virtual uint32_t GetHeight() const = 0;
};

class VertexDeclaration : public DeviceObject {
 public:
  virtual const std::vector<VertexElement>& GetElements() const = 0;
};

class StateBlock : public DeviceObject {
 public:
  // Number of recorded settings.
  virtual size_t GetSettingCount() const = 0;
};

class OcclusionQuery : public DeviceObject {
 public:
  virtual void Begin() = 0;
  virtual void End() = 0;
  // True with the number of samples that passed once the answer is there.
  virtual bool GetResult(uint32_t* samples, bool wait) = 0;
};

enum ShaderKind : uint32_t {
  kVertexShader = 0,
  kPixelShader = 1,
};

class Shader : public DeviceObject {
 public:
  virtual ShaderKind GetKind() const = 0;
};

struct Caps {
  uint32_t maxSimultaneousTextures = 0;
  uint32_t maxActiveLights = 0;
  bool volumeTextures = false;
  bool cubeTextures = false;
  bool projectedTextures = false;
  uint32_t vertexShaderVersion = 0;  // 0x0200 for 2.0
  uint32_t pixelShaderVersion = 0;
  float maxPointSize = 0;
  bool perVertexPointSize = false;
  bool occlusionQueries = false;
  bool depthTextures = false;       // depth textures usable for shadow comparison
  bool floatRenderTargets = false;  // A16B16G16R16F render targets
  bool autoGenerateMipMaps = false;
  uint32_t maxVertexIndex = 0;
  uint32_t maxTextureSize = 0;
};

struct DeviceSettings {
  uint32_t width = 0;   // back buffer; 0 takes the window's drawable size
  uint32_t height = 0;
  Format backBufferFormat = kFmtX8R8G8B8;
  Format depthStencilFormat = kFmtD24S8;  // kFmtUnknown for none
  uint32_t samples = 1;
};

class Device {
 public:
  virtual ~Device() = default;

  virtual const Caps& GetCaps() const = 0;
  virtual const std::string& GetDescription() const = 0;  // adapter (GL renderer string)
  virtual const std::string& GetDriver() const = 0;       // driver (GL version string)
  virtual Format GetDepthStencilFormat() const = 0;

  // Objects. Null when the device cannot make them; the error text says why.
  virtual std::unique_ptr<VertexBuffer> CreateVertexBuffer(uint32_t size) = 0;
  virtual std::unique_ptr<IndexBuffer> CreateIndexBuffer(uint32_t size, Format format) = 0;
  // levels 0 means a full chain; usage a TextureUsage.
  virtual std::unique_ptr<BaseTexture> CreateTexture(uint32_t width, uint32_t height, uint32_t levels,
                                                     uint32_t usage, Format format) = 0;
  virtual std::unique_ptr<BaseTexture> CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                         Format format) = 0;
  virtual std::unique_ptr<BaseTexture> CreateVolumeTexture(uint32_t width, uint32_t height,
                                                           uint32_t depth, uint32_t levels,
                                                           Format format) = 0;
  virtual std::unique_ptr<DepthStencilSurface> CreateDepthStencilSurface(uint32_t width,
                                                                         uint32_t height,
                                                                         Format format) = 0;
  virtual std::unique_ptr<VertexDeclaration> CreateVertexDeclaration(
      const std::vector<VertexElement>& elements) = 0;
  virtual std::unique_ptr<OcclusionQuery> CreateOcclusionQuery() = 0;
  // Assembles Direct3D shader assembly; null with the assembler's message.
  virtual std::unique_ptr<Shader> CreateShader(ShaderKind kind, const std::string& text,
                                               std::string* error) = 0;

  // Render targets: null is the back buffer. A cube face is a face index
  // of a cube render target; a 2D target ignores it.
  virtual bool SetRenderTarget(BaseTexture* target, uint32_t face) = 0;
  // Null is the back buffer's own depth-stencil buffer; a depth texture
  // (kUsageDepthStencil) or a surface may replace it.
  virtual bool SetDepthStencil(DepthStencilSurface* surface) = 0;
  virtual bool SetDepthStencilTexture(BaseTexture* depthTexture) = 0;
  virtual uint32_t GetTargetWidth() const = 0;
  virtual uint32_t GetTargetHeight() const = 0;

  // States. While a state block is being recorded, setters record and do
  // not change the device.
  virtual void SetRenderState(RenderState state, uint32_t value) = 0;
  virtual uint32_t GetRenderState(RenderState state) const = 0;
  virtual void SetTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) = 0;
  virtual uint32_t GetTextureStageState(uint32_t stage, TextureStageState state) const = 0;
  virtual void SetSamplerState(uint32_t sampler, SamplerState state, uint32_t value) = 0;
  virtual uint32_t GetSamplerState(uint32_t sampler, SamplerState state) const = 0;
  virtual void SetTransform(uint32_t state, const Matrix& matrix) = 0;
  virtual void SetLight(uint32_t index, const Light& light) = 0;
  virtual void LightEnable(uint32_t index, bool enable) = 0;
  virtual void SetMaterial(const Material& material) = 0;
  virtual void SetTexture(uint32_t stage, BaseTexture* texture) = 0;
  virtual void SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                               uint32_t stride) = 0;
  virtual void SetIndices(IndexBuffer* buffer) = 0;
  virtual void SetVertexDeclaration(VertexDeclaration* declaration) = 0;
  virtual void SetVertexShader(Shader* shader) = 0;
  virtual void SetPixelShader(Shader* shader) = 0;
  virtual void SetVertexShaderConstants(uint32_t start, const float* data, uint32_t count) = 0;
  virtual void SetPixelShaderConstants(uint32_t start, const float* data, uint32_t count) = 0;
  virtual void SetViewport(const Viewport& viewport) = 0;
  virtual const Viewport& GetViewport() const = 0;

  virtual void BeginStateBlock() = 0;
  virtual std::unique_ptr<StateBlock> EndStateBlock() = 0;
  virtual void ApplyStateBlock(const StateBlock& block) = 0;

  // Frames. Clear covers the viewport; colour is 8-bit ARGB.
  virtual void Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) = 0;
  virtual bool BeginScene() = 0;
  virtual void EndScene() = 0;
  virtual void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
  virtual void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                    uint32_t vertexCount, uint32_t startIndex,
                                    uint32_t primitiveCount) = 0;
  virtual void Present() = 0;

  // False while the device is lost (nothing can be drawn).
  virtual bool IsUsable() = 0;
  // Gamma: 3 x 256 entries (red, green, blue); false where the display
  // cannot take a ramp.
  virtual bool SetGammaRamp(const uint16_t ramp[3][256]) = 0;

  // The current render target's pixels, rows top first, 4 bytes R, G, B, A
  // per pixel; the frame is finished first.
  virtual bool ReadPixels(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                          std::vector<uint8_t>* rgba) = 0;

  // For tests: the device reports itself lost for the next `frames` checks.
  virtual void SimulateLostFrames(uint32_t frames) = 0;
};


}  // namespace klx::d3d
