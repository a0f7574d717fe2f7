#pragma once
// The renderer: the one object all drawing goes through, created by a
// renderer module ("CreateRenderer") and kept as the process's current
// renderer. This base holds what does not depend on the graphics interface:
// the display configurations, the render window, the active camera, the
// light stack, the draw queues, the capabilities; a device implementation
// supplies the device operations.

#include <cstdint>

#include "core/array.h"
#include "core/engine_string.h"
#include "core/math_types.h"
#include "core/ref_counted.h"
#include "render/frame_listener.h"
#include "scene/device_handle.h"
#include "scene/camera.h"
#include "scene/draw_context.h"
#include "scene/light.h"

namespace klx {

struct SystemWindow;
class Module;
class Object;
class Buffer;
class FloatBuffer;
class IntBuffer;
class Vector3Buffer;
class Vector4Buffer;
class ColorBuffer;
class OcclusionQuery;
class BaseTexture;
class Texture;
class CubeTexture;
class Shader;
class VertexShader;
class PixelShader;
class Pass;
class RenderStateBlock;
class Camera;
class Light;

// One usable video configuration.
struct DisplayConfiguration {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;  // 0 for windowed configurations
  int32_t height = 0;
  bool fullScreen = false;
  int32_t colorBits = 32;
  int32_t redBits = 8;
  int32_t greenBits = 8;
  int32_t blueBits = 8;
  int32_t alphaBits = 8;
  int32_t depthBits = 24;
  int32_t stencilBits = 8;
  int32_t samples = 1;
};

// Clear flags.
enum ClearFlags : uint32_t {
  kClearTarget = 1,
  kClearDepth = 2,
  kClearStencil = 4,
};

// Shader levels: 0 for 1.x, 1 for 2.0, 2 for 3.0, 4 for no usable shaders.
inline constexpr int32_t kShaderLevelNone = 4;

// Capabilities as the renderer reports them to techniques.
struct RendererCaps {
  int32_t simultaneousTextures = 0;
  int32_t maxActiveLights = 0;
  bool volumeTextures = false;
  bool cubeTextures = false;
  bool projectedTextures = false;
  int32_t vertexShaderLevel = kShaderLevelNone;
  int32_t pixelShaderLevel = kShaderLevelNone;
  bool pointSprites = false;
  bool occlusionQuery = false;
  bool hardwareShadowMaps = false;
  bool floatRenderTargets = false;
  bool mipAutogen[8] = {};
};

class Renderer : public DeviceCopyOwner, public DrawContext {
 public:
  Renderer();
  ~Renderer() override;
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Opens the render window for a configuration (closing an open one
  // first), then creates the device: 0, 1 (logged) or 3 for an unknown
  // configuration. Full-screen configurations are placed at (0, 0) with
  // their size; windowed ones at the given rectangle.
  [[nodiscard]] int OpenWindow(int32_t configuration, const String& title, uint64_t parentWindow, int32_t x,
                 int32_t y, int32_t width, int32_t height);
  // Releases the device and destroys the window: 0, 1, or 3 when none is
  // open.
  int CloseWindow();
  // Makes the camera active (counted) with all its planes to test.
  void SetCamera(Camera* camera) override;
  Camera* GetCamera() const override;
  // A default camera when none is active, its update, BeginScene, then the
  // frame listeners' PostUpdate. 0 when the frame may be drawn.
  [[nodiscard]] int BeginFrame();
  // Appends a listener for the next BeginFrame unless it is listed; its
  // index. The renderer holds the listener's object until it has run.
  int32_t AddFrameListener(FrameListener* listener);
  // The sorted queue (largest key first), then the final queue.
  void FlushQueues() override;
  // The active camera's planes for the draw traversal; null without one.
  CullingFrustum* GetActiveFrustum() override;
  void QueueSorted(Drawable* drawable, float key) override;
  void QueueFinal(Drawable* drawable) override;
  // FlushQueues, the current geometry dropped, then EndScene.
  void EndFrame();

  int32_t GetConfigurationCount() const { return configurations_.Count(); }
  const DisplayConfiguration& GetConfiguration(int32_t index) const { return configurations_[index]; }
  // The full-screen configuration matching the desktop mode; -1 if none.
  int32_t GetDefaultConfiguration() const { return defaultConfiguration_; }
  // The configuration the window was opened with; -1 while closed.
  int32_t GetCurrentConfiguration() const { return window_ != nullptr ? currentConfiguration_ : -1; }
  SystemWindow* GetWindow() const { return window_; }
  // How many device copies of resources exist now (0 for a renderer
  // without a device); a count that keeps growing is a leak.
  virtual size_t GetDeviceObjectCount() const { return 0; }
  const Color& GetClearColor() const { return clearColor_; }
  const RendererCaps& GetCaps() const { return caps_; }
  const String& GetVendor() const { return vendor_; }
  const String& GetDriver() const { return driver_; }

  // For tests and tools, never the saver: replaces the reported
  // capabilities so the fixed-function, fallback and point-sprite paths can
  // all be taken.
  void OverrideCaps(const RendererCaps& caps) { caps_ = caps; }

  // State shared with the scene.
  Object* GetCurrentGeometry() const;
  void SetCurrentGeometry(Object* geometry) override;
  Pass* GetCurrentPass() const { return currentPass_; }
  void SetCurrentPass(Pass* pass) { currentPass_ = pass; }
  bool GetMirrorCulling() const { return mirrorCulling_; }
  void SetMirrorCulling(bool on) { mirrorCulling_ = on; }
  bool GetDepthEqual() const { return depthEqual_; }
  void SetDepthEqual(bool on) { depthEqual_ = on; }
  bool GetLetterbox() const { return letterbox_; }
  void SetLetterbox(bool on) { letterbox_ = on; }
  // The light stack: lights applied now, innermost last.
  void PushLight(Light* light);
  void PopLight();
  int32_t GetLightCount() const { return lightStack_.Count(); }
  Light* GetLight(int32_t index) const;
  // Pops and switches off every light on the stack (after a pass).
  void RemovePassLights() override;

  // Device copies of engine resources: the copy goes and the resource's
  // handle is cleared, so the data is uploaded again on next use. The base
  // only clears handles; a device implementation releases its object too.
  // ReleaseCopyOf picks the release by the resource's class.
  void ReleaseCopyOf(Object* resource) override;
  virtual void ReleaseBuffer(Buffer* buffer);
  virtual void ReleaseTexture(BaseTexture* texture);
  virtual void ReleaseShader(Shader* shader);
  virtual void ReleasePass(Pass* pass);
  virtual void ReleaseQuery(OcclusionQuery* query);
  virtual void ReleaseRenderStateBlock(RenderStateBlock* block);

  // Device operations.
  virtual int CreateDevice(int32_t configuration, const String& title, uint64_t parentWindow,
                           int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual int ReleaseDevice() = 0;
  virtual void BeginQuery(OcclusionQuery* query) { (void)query; }
  virtual void EndQuery(OcclusionQuery* query) { (void)query; }
  virtual void SetTexture(BaseTexture* texture, int32_t stage) { (void)texture, (void)stage; }
  virtual void SetVertexShader(VertexShader* shader) { (void)shader; }
  virtual void SetVertexShaderConstants(int32_t start, const float* data, int32_t count) {
    (void)start, (void)data, (void)count;
  }
  virtual void SetPixelShader(PixelShader* shader) { (void)shader; }
  virtual void SetPixelShaderConstants(int32_t start, const float* data, int32_t count) {
    (void)start, (void)data, (void)count;
  }
  virtual void SetTexCoords(Buffer* buffer, int32_t set) { (void)buffer, (void)set; }
  virtual void SetColors(ColorBuffer* buffer) { (void)buffer; }
  virtual void SetPositions(Buffer* buffer) { (void)buffer; }
  virtual void SetPointSizes(FloatBuffer* buffer) { (void)buffer; }
  virtual void SetNormals(Vector3Buffer* buffer) { (void)buffer; }
  virtual void SetBlendWeights(Vector4Buffer* buffer) { (void)buffer; }
  virtual void SetBlendIndices(Vector4Buffer* buffer) { (void)buffer; }
  virtual void SetIndices(IntBuffer* buffer) { (void)buffer; }
  virtual void BeginPass(Pass* pass) { (void)pass; }
  // Primitive kind (0 points, 1 lines, 2 line strip, 3 triangles) and the
  // counts come from the caller in this base's terms: `vertexCount`
  // positions and `indexCount` indices.
  void DrawIndexed(int32_t primitiveKind, int32_t vertexCount, int32_t indexCount) override {
    (void)primitiveKind, (void)vertexCount, (void)indexCount;
  }
  void DrawPrimitives(int32_t primitiveKind, int32_t primitiveCount) override {
    (void)primitiveKind, (void)primitiveCount;
  }
  bool DrawsPointSprites() const override { return caps_.pointSprites; }
  // Shadow-map drawing: positions on stream 0, texture coordinates on 1,
  // blend weights on 2 and blend indices on 3, drawn indexed with whatever
  // vertex declaration is bound.
  virtual void DrawIndexedStreams(int32_t primitiveKind, Buffer* positions, IntBuffer* indices,
                                  Vector4Buffer* weights, Vector4Buffer* blendIndices, Buffer* texCoords) {
    (void)primitiveKind, (void)positions, (void)indices, (void)weights, (void)blendIndices, (void)texCoords;
  }
  // Flags: kClearTarget, kClearDepth, kClearStencil. With the target flag
  // the colour also becomes the stored clear colour.
  virtual void Clear(uint32_t flags, const Color& color, float depth, uint32_t stencil) = 0;
  // 1 when the device is lost.
  virtual int BeginScene() = 0;
  // Ends the scene and presents it.
  virtual void EndScene() = 0;
  virtual void SetWorldMatrix(const Matrix4& matrix) { worldMatrix_ = matrix; }
  const Matrix4& GetWorldMatrix() const { return worldMatrix_; }
  virtual void SetViewMatrix(const Matrix4& matrix) { viewMatrix_ = matrix; }
  const Matrix4& GetViewMatrix() const { return viewMatrix_; }
  virtual void SetProjectionMatrix(const Matrix4& matrix) { projectionMatrix_ = matrix; }
  const Matrix4& GetProjectionMatrix() const { return projectionMatrix_; }
  // Setting the exact identity disables the stage's texture transform; any
  // other matrix enables three-coordinate transforms.
  virtual void SetTextureMatrix(int32_t stage, const Matrix4& matrix);
  const Matrix4& GetTextureMatrix(int32_t stage) const { return textureMatrices_[stage & 7]; }
  virtual void ApplyLight(Light* light) { (void)light; }
  virtual void RemoveLight() {}
  virtual int BeginRenderToCubeFace(int32_t face, CubeTexture* texture) { return (void)face, (void)texture, 1; }
  virtual int BeginRenderToTexture(Texture* texture) { return (void)texture, 1; }
  virtual int BeginRenderToShadowMap(Texture* texture, float depthBias, float slopeBias) {
    return (void)texture, (void)depthBias, (void)slopeBias, 1;
  }
  int32_t GetViewportWidth() const override { return viewportWidth_; }
  int32_t GetViewportHeight() const override { return viewportHeight_; }
  // A viewport set on the screen (not in a render target) also sets the
  // screen's aspect.
  virtual void SetViewport(const Vector2& origin, const Vector2& size);
  // Width over height of the screen's viewport; cameras put on screen take
  // it. Render-to-texture passes keep it, since what they draw is looked
  // up in screen space.
  float GetScreenAspect() const { return screenAspect_; }
  virtual void SetGamma(int32_t gamma) = 0;
  virtual void ApplyRenderStateBlock(RenderStateBlock* block) { (void)block; }

  // The gamma ramp of a gamma setting: entry i = clamp(200 g + 256 i, 0,
  // 65535), the same for red, green and blue.
  static void BuildGammaRamp(int32_t gamma, uint16_t ramp[256]);

 protected:
  Array<DisplayConfiguration> configurations_{8, 8};
  int32_t defaultConfiguration_ = -1;
  Color clearColor_;
  RendererCaps caps_;
  String vendor_;
  String driver_;
  Matrix4 worldMatrix_ = Matrix4::Identity();
  Matrix4 viewMatrix_ = Matrix4::Identity();
  Matrix4 projectionMatrix_ = Matrix4::Identity();
  Matrix4 textureMatrices_[8];
  // True while drawing into a texture rather than the screen.
  virtual bool RendersToTexture() const { return false; }
  void SetScreenAspect(int32_t width, int32_t height);

  int32_t viewportWidth_ = 0;
  int32_t viewportHeight_ = 0;

 private:
  struct SortedEntry {
    Drawable* drawable = nullptr;
    float key = 0;
  };

  SystemWindow* window_ = nullptr;
  int32_t currentConfiguration_ = -1;
  Ref<Camera> activeCamera_;
  Ref<Object> currentGeometry_;
  Pass* currentPass_ = nullptr;
  bool mirrorCulling_ = false;
  bool depthEqual_ = false;
  bool letterbox_ = false;
  float screenAspect_ = 4.0f / 3.0f;
  Array<Ref<Light>> lightStack_{8, 8};
  struct ListenerEntry {
    FrameListener* listener = nullptr;
    Ref<RefCounted> holder;  // keeps the listener alive until it runs
  };
  Array<ListenerEntry> frameListeners_{8, 8};
  Array<SortedEntry> sortedQueue_{64, 64};
  Array<Drawable*> finalQueue_{64, 64};
};

using CreateRendererEntry = int (*)(Renderer** out);

// The current renderer, or null (no reference added).
Renderer* GetRenderer();
// Loads the renderer module of that name and makes its renderer current:
// 0, 1 when the module's "CreateRenderer" fails, 3 when the module or the
// function is missing (each logged).
[[nodiscard]] int LoadRenderer(const String& moduleName);
// Drops the current renderer and its module.
void ReleaseRenderer();

}  // namespace klx
