#pragma once
// The device on OpenGL (compatibility profile, through libepoxy). Every
// draw goes into a framebuffer object of the device's own; rows are kept top
// first as Direct3D has them (clip space is flipped vertically and the
// winding with it), so render targets sample the Direct3D way round, and
// Present copies the back buffer to the window the right way up. The
// Direct3D states are kept as set and turned into GL state at each draw.

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "device/device.h"
#include "gl/gl_objects.h"
#include "gl/gl_shaders.h"

namespace klx::d3d {

inline constexpr uint32_t kMaxStages = 8;
inline constexpr uint32_t kMaxLights = 8;
inline constexpr uint32_t kMaxStreams = 8;
inline constexpr uint32_t kVertexConstantCount = 256;
inline constexpr uint32_t kPixelConstantCount = 32;

// One recorded setting of a state block. Objects are kept by serial number,
// so a block replayed after an object went binds nothing in its place.
struct RecordedSetting {
  enum Kind : uint8_t {
    kRenderState, kStageState, kSamplerState, kTransform, kLight, kLightEnable, kMaterial,
    kTexture, kStream, kIndices, kDeclaration, kVertexShader, kPixelShader,
    kVertexConstants, kPixelConstants, kViewport,
  };
  RecordedSetting(Kind settingKind, uint32_t settingIndex = 0, uint32_t settingSubIndex = 0,
                  uint32_t settingValue = 0, uint32_t settingExtra = 0)
      : kind(settingKind), index(settingIndex), subIndex(settingSubIndex), value(settingValue),
        extra(settingExtra) {}

  Kind kind;
  uint32_t index = 0;
  uint32_t subIndex = 0;
  uint32_t value = 0;
  uint32_t extra = 0;  // stream stride
  uint64_t serial = 0;
  // The object as it was when recorded: good while no object has gone
  // since (the device counts the deletions), else looked up by serial.
  GlObjectBase* object = nullptr;
  std::variant<std::monostate, Matrix, Light, Material, Viewport, std::vector<float>> payload;
};

class GlStateBlock final : public StateBlock, public GlObjectBase {
 public:
  explicit GlStateBlock(GlDevice* device) : GlObjectBase(device) {}
  size_t GetSettingCount() const override { return settings.size(); }
  std::vector<RecordedSetting> settings;
  uint64_t deletionsAtRecording = 0;
};

// While a changed ramp is on the display, a crash signal puts the display's
// own ramp back before the process dies; null lifts the protection.
void ProtectGammaFromCrashes(SDL_Window* window, const uint16_t (*original)[256]);

class GlDevice final : public Device {
 public:
  GlDevice(SDL_Window* window, SDL_GLContext context, const DeviceSettings& settings);
  ~GlDevice() override;
  bool Initialize(std::string* error);

  // Objects announce themselves, and go: a gone object is unbound.
  uint64_t RegisterObject(GlObjectBase* object);
  void ForgetObject(GlObjectBase* object);

  const Caps& GetCaps() const override { return caps_; }
  const std::string& GetDescription() const override { return description_; }
  const std::string& GetDriver() const override { return driver_; }
  Format GetDepthStencilFormat() const override { return settings_.depthStencilFormat; }

  std::unique_ptr<VertexBuffer> CreateVertexBuffer(uint32_t size) override;
  std::unique_ptr<IndexBuffer> CreateIndexBuffer(uint32_t size, Format format) override;
  std::unique_ptr<BaseTexture> CreateTexture(uint32_t width, uint32_t height, uint32_t levels,
                                             uint32_t usage, Format format) override;
  std::unique_ptr<BaseTexture> CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                 Format format) override;
  std::unique_ptr<BaseTexture> CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth,
                                                   uint32_t levels, Format format) override;
  std::unique_ptr<DepthStencilSurface> CreateDepthStencilSurface(uint32_t width, uint32_t height,
                                                                 Format format) override;
  std::unique_ptr<VertexDeclaration> CreateVertexDeclaration(
      const std::vector<VertexElement>& elements) override;
  std::unique_ptr<OcclusionQuery> CreateOcclusionQuery() override;
  std::unique_ptr<Shader> CreateShader(ShaderKind kind, const std::string& text,
                                       std::string* error) override;

  bool SetRenderTarget(BaseTexture* target, uint32_t face) override;
  bool SetDepthStencil(DepthStencilSurface* surface) override;
  bool SetDepthStencilTexture(BaseTexture* depthTexture) override;
  uint32_t GetTargetWidth() const override { return targetWidth_; }
  uint32_t GetTargetHeight() const override { return targetHeight_; }

  void SetRenderState(RenderState state, uint32_t value) override;
  uint32_t GetRenderState(RenderState state) const override;
  void SetTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) override;
  uint32_t GetTextureStageState(uint32_t stage, TextureStageState state) const override;
  void SetSamplerState(uint32_t sampler, SamplerState state, uint32_t value) override;
  uint32_t GetSamplerState(uint32_t sampler, SamplerState state) const override;
  void SetTransform(uint32_t state, const Matrix& matrix) override;
  void SetLight(uint32_t index, const Light& light) override;
  void LightEnable(uint32_t index, bool enable) override;
  void SetMaterial(const Material& material) override;
  void SetTexture(uint32_t stage, BaseTexture* texture) override;
  void SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) override;
  void SetIndices(IndexBuffer* buffer) override;
  void SetVertexDeclaration(VertexDeclaration* declaration) override;
  void SetVertexShader(Shader* shader) override;
  void SetPixelShader(Shader* shader) override;
  void SetVertexShaderConstants(uint32_t start, const float* data, uint32_t count) override;
  void SetPixelShaderConstants(uint32_t start, const float* data, uint32_t count) override;
  void SetViewport(const Viewport& viewport) override;
  const Viewport& GetViewport() const override { return state_.viewport; }

  void BeginStateBlock() override;
  std::unique_ptr<StateBlock> EndStateBlock() override;
  void ApplyStateBlock(const StateBlock& block) override;

  void Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) override;
  bool BeginScene() override;
  void EndScene() override;
  void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
  void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                            uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount) override;
  void Present() override;

  bool IsUsable() override;
  bool SetGammaRamp(const uint16_t ramp[3][256]) override;
  bool ReadPixels(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                  std::vector<uint8_t>* rgba) override;
  void SimulateLostFrames(uint32_t frames) override { lostFrames_ = frames; }

  // What has changed since the last draw turned the state into GL state.
  enum DirtyBits : uint32_t {
    kDirtyRaster = 1,      // viewport, blending, tests, culling, fill, points
    kDirtyFixed = 2,       // matrices, lighting, material, fog
    kDirtyStages = 4,      // texture bindings, combiners, generation, texture matrices
    kDirtySamplers = 8,
    kDirtyArrays = 16,     // vertex arrays
    kDirtyConstants = 32,  // shader constants and fog uniforms
    kDirtyProgram = 64,    // the shader program to use
    kDirtyAll = 127,
  };

  // The state as set (what the next draw uses).
  struct StreamBinding {
    GlVertexBuffer* buffer = nullptr;
    uint32_t offset = 0;
    uint32_t stride = 0;
  };
  struct State {
    std::array<uint32_t, kRenderStateCount> renderStates{};
    std::array<std::array<uint32_t, kTextureStageStateCount>, kMaxStages> stageStates{};
    std::array<std::array<uint32_t, kSamplerStateCount>, kMaxStages> samplerStates{};
    Matrix world, view, projection;
    std::array<Matrix, kMaxStages> textureTransforms;
    std::array<Light, kMaxLights> lights{};
    std::array<bool, kMaxLights> lightEnabled{};
    Material material;
    std::array<GlTexture*, kMaxStages> textures{};
    std::array<StreamBinding, kMaxStreams> streams{};
    GlIndexBuffer* indices = nullptr;
    GlVertexDeclaration* declaration = nullptr;
    GlShader* vertexShader = nullptr;
    GlShader* pixelShader = nullptr;
    std::vector<float> vertexConstants = std::vector<float>(kVertexConstantCount * 4, 0.0f);
    std::vector<float> pixelConstants = std::vector<float>(kPixelConstantCount * 4, 0.0f);
    Viewport viewport;
  };
  const State& GetState() const { return state_; }
  // The compiler's or linker's message for the last program that failed
  // (the draw then ran GL's fixed function); empty when none did.
  const std::string& GetLastProgramError() const { return lastProgramError_; }
  size_t GetProgramCount() const { return programs_.GetCount(); }
  // Shader sources by text: a number per distinct text, counted by the
  // shaders that use it; the programs of a source go with its last shader.
  uint64_t AcquireShaderSource(const std::string& text);
  void ReleaseShaderSource(uint64_t source);

 private:
  void SetDefaultStates();
  void ApplySetting(const RecordedSetting& setting, bool objectsUnchanged);
  // The setters of objects, once the object is known to be the device's.
  void BindTexture(uint32_t stage, GlTexture* texture);
  void BindStream(uint32_t stream, GlVertexBuffer* buffer, uint32_t offset, uint32_t stride);
  void BindIndices(GlIndexBuffer* buffer);
  void BindDeclaration(GlVertexDeclaration* declaration);
  void BindVertexShader(GlShader* shader);
  void BindPixelShader(GlShader* shader);
  GlObjectBase* FindObject(uint64_t serial) const;
  bool Record(RecordedSetting setting);
  void BindFramebuffer();
  bool PrepareDraw();
  void ApplyRasterState();
  void ApplyFixedFunction();
  void ApplyTextureStages();
  void ApplySamplers();
  void BindVertexArrays();
  void DisableFixedArrays();
  void DrawArraysOrElements(PrimitiveType type, uint32_t primitiveCount, bool indexed,
                            int32_t baseVertex, uint32_t start);
  // The GL draw call itself: `count` vertices or indices from `start`.
  void DrawNow(GLenum mode, uint32_t count, bool indexed, int32_t baseVertex, uint32_t start);
  void LoadProjection();
  // Links (or finds) the program for the bound shaders and sets its
  // uniforms; null when no shader is bound or the pair cannot link.
  const GlLinkedProgram* UseShaders();
  void BindShaderAttributes();

  SDL_Window* window_;
  SDL_GLContext context_;
  DeviceSettings settings_;
  Caps caps_;
  std::string description_;
  // False on software rasterizers, see Initialize.
  bool blendMipLevels_ = true;
  std::string driver_;

  // The back buffer: a framebuffer object with colour and depth-stencil
  // renderbuffers; a second one renders into textures.
  GLuint backFramebuffer_ = 0;
  GLuint backColor_ = 0;
  GLuint backDepth_ = 0;
  GLuint resolveFramebuffer_ = 0;  // for a multisampled back buffer
  GLuint resolveColor_ = 0;
  GLuint targetFramebuffer_ = 0;
  GLuint samplers_[kMaxStages] = {};
  GLuint whiteTexture_ = 0;  // bound where a stage has no texture
  GlTexture* colorTarget_ = nullptr;
  uint32_t colorTargetFace_ = 0;
  GlDepthStencilSurface* depthSurface_ = nullptr;
  GlTexture* depthTexture_ = nullptr;
  uint32_t targetWidth_ = 0;
  uint32_t targetHeight_ = 0;
  uint32_t backWidth_ = 0;
  uint32_t backHeight_ = 0;

  State state_;
  uint32_t dirty_ = kDirtyAll;
  bool combine3_ = false;  // GL_ATI_texture_env_combine3
  bool recording_ = false;
  std::unique_ptr<GlStateBlock> recordingBlock_;
  uint32_t lostFrames_ = 0;
  bool gammaChanged_ = false;
  uint16_t originalGamma_[3][256] = {};

  GlProgramCache programs_;
  struct ShaderSource {
    uint64_t id = 0;
    int32_t users = 0;
  };
  std::unordered_map<std::string, ShaderSource> shaderSources_;
  uint64_t nextShaderSource_ = 1;
  const GlLinkedProgram* program_ = nullptr;  // of the draw being prepared
  std::string lastProgramError_;

  uint64_t nextSerial_ = 1;
  uint64_t deletions_ = 0;
  std::unordered_map<uint64_t, GlObjectBase*> objects_;
  std::unordered_map<const GlObjectBase*, uint64_t> serials_;

};

// The OpenGL device for an SDL window made with SDL_WINDOW_OPENGL (or
// wrapped from a foreign window). Null with the reason on failure.
std::unique_ptr<Device> CreateGlDevice(SDL_Window* window, const DeviceSettings& settings,
                                       std::string* error);

}  // namespace klx::d3d
