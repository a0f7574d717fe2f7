#include "render/device_renderer.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "platform/displays.h"
#include "platform/system_window.h"
#include "render/display_configurations.h"
#include "render/pass.h"
#include "render/render_state_block.h"
#include "render/shader.h"
#include "render/texture.h"
#include "scene/data_buffer.h"

namespace klx {
namespace {

const char* BoolText(bool value) { return value ? "true" : "false"; }

// Primitive kinds of the geometry (points, lines, line strip, triangles).
constexpr d3d::PrimitiveType kTypes[] = {d3d::kPtPointList, d3d::kPtLineList, d3d::kPtLineStrip,
                                         d3d::kPtTriangleList};

d3d::Matrix ToDevice(const Matrix4& matrix) {
  d3d::Matrix out;
  std::memcpy(out.m, matrix.m, sizeof out.m);
  return out;
}

d3d::Format BackBufferFormat(const DisplayConfiguration& c) {
  return c.alphaBits == 8 && c.colorBits == 32 ? d3d::kFmtA8R8G8B8 : d3d::kFmtX8R8G8B8;
}

d3d::Format DepthFormat(const DisplayConfiguration& c) {
  if (c.depthBits == 16) return d3d::kFmtD16;
  if (c.depthBits == 32) return d3d::kFmtD32;
  return c.stencilBits == 8 ? d3d::kFmtD24S8 : d3d::kFmtD24X8;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and configurations

DeviceRenderer::DeviceRenderer(DeviceFactory makeDevice) : makeDevice_(std::move(makeDevice)) {
  videoHeld_ = AcquireVideo();
  if (videoHeld_) ProbeDisplayConfigurations(configurations_, defaultConfiguration_);
}

DeviceRenderer::~DeviceRenderer() {
  if (GetWindow() != nullptr && device_ && CloseWindow() != kOk) {
    LogError(KLX_TEXT("Невозможно закрыть окно рендеринга."));
  }
  ReleaseDevice();
  if (videoHeld_) ReleaseVideo();
}

// ---------------------------------------------------------------------------
// The device

int DeviceRenderer::CreateDevice(int32_t configuration, const String&, uint64_t parentWindow, int32_t, int32_t,
                                 int32_t width, int32_t height) {
  if (configuration < 0 || configuration >= configurations_.Count() || GetWindow() == nullptr) return kFailed;
  const DisplayConfiguration& c = configurations_[configuration];
  d3d::DeviceSettings settings;
  settings.width = static_cast<uint32_t>(c.fullScreen ? c.width : width);
  settings.height = static_cast<uint32_t>(c.fullScreen ? c.height : height);
  if (parentWindow != 0) {
    // A child fills its host's window: the back buffer takes the window's
    // own size, whatever the display's mode.
    settings.width = 0;
    settings.height = 0;
  }
  settings.backBufferFormat = BackBufferFormat(c);
  settings.depthStencilFormat = DepthFormat(c);
  settings.samples = static_cast<uint32_t>(c.samples);
  std::string error;
  device_ = makeDevice_ ? makeDevice_(GetWindow(), settings, &error) : nullptr;
  if (!device_ && settings.samples > 1) {
    // One fallback, reported as software vertex processing: a back buffer
    // without multisampling.
    hardwareVertexProcessing_ = false;
    settings.samples = 1;
    device_ = makeDevice_(GetWindow(), settings, &error);
  }
  if (!device_) return kFailed;
  LogInfo(hardwareVertexProcessing_ ? "Created HARDWARE VERTEXPROCESSING" : "Created SOFTWARE VERTEXPROCESSING");
  LogInfo("COLOR BPP %d", c.colorBits);
  LogInfo("Alpha BPP %d", c.alphaBits);
  LogInfo("Depth BPP %d", c.depthBits);
  LogInfo("Stencil BPP %d", c.stencilBits);
  LogInfo("Samples %d", static_cast<int>(settings.samples));
  vendor_ = String(device_->GetDescription().c_str());
  driver_ = String(device_->GetDriver().c_str());
  LogInfo("Vendor [%s]", vendor_.CStr());
  LogInfo("Driver [%s]", driver_.CStr());
  LogCapabilities();
  viewportWidth_ = static_cast<int32_t>(device_->GetTargetWidth());
  viewportHeight_ = static_cast<int32_t>(device_->GetTargetHeight());
  SetScreenAspect(viewportWidth_, viewportHeight_);
  device_->SetRenderState(d3d::kRsLighting, 0);
  device_->SetRenderState(d3d::kRsSpecularEnable, 0);
  cache_.SetDevice(device_.get(), wideIndices_);
  targets_.SetDevice(device_.get());
  return kOk;
}

void DeviceRenderer::LogCapabilities() {
  const d3d::Caps& caps = device_->GetCaps();
  caps_ = RendererCaps{};
  caps_.simultaneousTextures = static_cast<int32_t>(caps.maxSimultaneousTextures);
  caps_.maxActiveLights = static_cast<int32_t>(caps.maxActiveLights);
  caps_.volumeTextures = caps.volumeTextures;
  caps_.cubeTextures = caps.cubeTextures;
  caps_.projectedTextures = caps.projectedTextures;
  LogInfo("Simultaneous Textures [%d]", caps_.simultaneousTextures);
  LogInfo("Max Active Lights [%d]", caps_.maxActiveLights);
  LogInfo("Volume Textures [%s]", BoolText(caps_.volumeTextures));
  LogInfo("Cube Textures [%s]", BoolText(caps_.cubeTextures));
  LogInfo("Projected Textures [%s]", BoolText(caps_.projectedTextures));
  auto level = [](uint32_t version, bool pixel) {
    if (version == 0x0300) return 2;
    if (version == 0x0200) return 1;
    if (pixel ? (version >= 0x0101 && version <= 0x0104) : version == 0x0101) return 0;
    return kShaderLevelNone;
  };
  caps_.vertexShaderLevel = level(caps.vertexShaderVersion, false);
  caps_.pixelShaderLevel = level(caps.pixelShaderVersion, true);
  if (caps_.pixelShaderLevel == kShaderLevelNone) caps_.vertexShaderLevel = kShaderLevelNone;
  LogInfo("VERTEX SHADER %d", caps_.vertexShaderLevel);
  LogInfo("PIXEL SHADER %d", caps_.pixelShaderLevel);
  caps_.pointSprites = caps.maxPointSize > 8000.0f && caps.perVertexPointSize;
  LogInfo("Point Sprites [%s]", BoolText(caps_.pointSprites));
  caps_.occlusionQuery = device_->CreateOcclusionQuery() != nullptr;
  LogInfo("Occlusion Query [%s]", BoolText(caps_.occlusionQuery));
  caps_.hardwareShadowMaps =
      caps.depthTextures && device_->CreateTexture(4, 4, 1, d3d::kUsageDepthStencil, device_->GetDepthStencilFormat()) != nullptr;
  LogInfo("Hardware Shadowmaps [%s]", BoolText(caps_.hardwareShadowMaps));
  caps_.floatRenderTargets = caps.floatRenderTargets;
  LogInfo("A16B16G16R16F Textures [%s]", BoolText(caps_.floatRenderTargets));
  const char* const names[8] = {"A8 RenderTarget Textures MipMap Autogen support[%s]",
                                "A16B16G16R16 RenderTarget Textures MipMap Autogen support[%s]",
                                "R8G8B8 RenderTarget Textures MipMap Autogen support[%s]",
                                "R8G8B8A8 RenderTarget Textures MipMap Autogen support[%s]",
                                "A8 CubeRenderTarget Textures MipMap Autogen support[%s]",
                                "A16B16G16R16 CubeRenderTarget Textures MipMap Autogen support[%s]",
                                "R8G8B8 CubeRenderTarget Textures MipMap Autogen support[%s]",
                                "R8G8B8A8 CubeRenderTarget Textures MipMap Autogen support[%s]"};
  if (caps.autoGenerateMipMaps) {
    for (int i = 0; i < 8; ++i) {
      caps_.mipAutogen[i] = (i % 4 != 1) || caps_.floatRenderTargets;
      LogInfo(names[i], BoolText(caps_.mipAutogen[i]));
    }
  }
  wideIndices_ = caps.maxVertexIndex > 65536;
}

int DeviceRenderer::ReleaseDevice() {
  ReleaseAllDeviceObjects();
  targets_.Clear();
  cache_.SetDevice(nullptr, wideIndices_);
  targets_.SetDevice(nullptr);
  device_.reset();
  return kOk;
}

// ---------------------------------------------------------------------------
// Device copies

void DeviceRenderer::ReleaseBuffer(Buffer* buffer) {
  if (buffer != nullptr) cache_.Drop(buffer, buffer->Handle());
}

void DeviceRenderer::ReleaseTexture(BaseTexture* texture) {
  if (texture == nullptr) return;
  targets_.ForgetDepth(texture->GetID());
  cache_.Drop(texture, texture->Handle());
}

void DeviceRenderer::ReleaseShader(Shader* shader) {
  if (shader != nullptr) cache_.Drop(shader, shader->Handle());
}

void DeviceRenderer::ReleasePass(Pass* pass) {
  if (pass == nullptr) return;
  if (pass->GetRenderStateBlock() != nullptr) ReleaseRenderStateBlock(pass->GetRenderStateBlock());
  cache_.Drop(pass, pass->Handle());
}

void DeviceRenderer::ReleaseQuery(OcclusionQuery* query) {
  if (query != nullptr) cache_.Drop(query, query->Handle());
}

void DeviceRenderer::ReleaseRenderStateBlock(RenderStateBlock* block) {
  if (block != nullptr) cache_.Drop(block, block->Handle());
}

void DeviceRenderer::ReleaseAllDeviceObjects() {
  // Each release takes its resource off the cache's list; the resources
  // stay and are made again on their next use.
  while (Object* resource = cache_.AnyResource()) {
    const size_t before = cache_.Count();
    ReleaseCopyOf(resource);
    if (cache_.Count() == before) cache_.Forget(resource);
  }
}

// ---------------------------------------------------------------------------
// Queries, textures, shaders

void DeviceRenderer::BeginQuery(OcclusionQuery* query) {
  if (d3d::OcclusionQuery* copy = cache_.QueryOf(query)) copy->Begin();
}

void DeviceRenderer::EndQuery(OcclusionQuery* query) {
  if (query == nullptr || query->Handle().handle == nullptr) return;
  auto* copy = static_cast<d3d::OcclusionQuery*>(query->Handle().handle);
  copy->End();
  uint32_t samples = 0;
  copy->GetResult(&samples, true);
  // The visible-pixel count lives in the handle's spare field.
  query->Handle().reserved = static_cast<int32_t>(samples);
}

void DeviceRenderer::SetTexture(BaseTexture* texture, int32_t stage) {
  if (!device_ || stage < 0 || stage > 7) return;
  if (texture == nullptr) {
    device_->SetTexture(static_cast<uint32_t>(stage), nullptr);
    return;
  }
  if (targets_.IsBeingDrawn(texture)) return;
  device_->SetTexture(static_cast<uint32_t>(stage), cache_.TextureOf(texture));
}

void DeviceRenderer::SetVertexShader(VertexShader* shader) {
  if (!device_) return;
  device_->SetVertexShader(cache_.ShaderOf(shader));
}

void DeviceRenderer::SetPixelShader(PixelShader* shader) {
  if (!device_) return;
  device_->SetPixelShader(cache_.ShaderOf(shader));
}

void DeviceRenderer::SetVertexShaderConstants(int32_t start, const float* data, int32_t count) {
  if (device_ && start >= 0 && count > 0) device_->SetVertexShaderConstants(static_cast<uint32_t>(start), data, static_cast<uint32_t>(count));
}

void DeviceRenderer::SetPixelShaderConstants(int32_t start, const float* data, int32_t count) {
  if (device_ && start >= 0 && count > 0) device_->SetPixelShaderConstants(static_cast<uint32_t>(start), data, static_cast<uint32_t>(count));
}

// ---------------------------------------------------------------------------
// Streams, passes and draws

void DeviceRenderer::AppendElement(Buffer* buffer, uint8_t type, uint8_t usage, uint8_t usageIndex, uint32_t stride) {
  if (!device_) return;
  Pass* pass = GetCurrentPass();
  const bool recording = pass == nullptr || pass->Handle().handle == nullptr;
  d3d::VertexBuffer* copy = cache_.VertexBufferOf(buffer);
  const uint16_t stream = nextStream_++;
  if (recording) {
    elements_.push_back(d3d::VertexElement{copy != nullptr ? stream : static_cast<uint16_t>(0), 0, type, usage, usageIndex});
  }
  // Every geometry binds its own buffers, also when its pass was recorded
  // with another geometry: the pass's state block brings back the buffers
  // of the geometry it was recorded with, and a pass shared by several
  // geometries would otherwise draw that one's vertices for all of them.
  if (copy != nullptr) device_->SetStreamSource(stream, copy, 0, stride);
}

namespace {
uint8_t FloatsType(Buffer* buffer, uint32_t* stride) {
  if (DynamicCast<Vector2Buffer>(buffer) != nullptr) {
    *stride = 8;
    return d3d::kDeclFloat2;
  }
  if (DynamicCast<Vector3Buffer>(buffer) != nullptr) {
    *stride = 12;
    return d3d::kDeclFloat3;
  }
  if (DynamicCast<Vector4Buffer>(buffer) != nullptr) {
    *stride = 16;
    return d3d::kDeclFloat4;
  }
  *stride = 4;
  return d3d::kDeclFloat1;
}
}  // namespace

void DeviceRenderer::SetTexCoords(Buffer* buffer, int32_t set) {
  uint32_t stride = 4;
  const uint8_t type = FloatsType(buffer, &stride);
  AppendElement(buffer, type, d3d::kUsageTexCoord, static_cast<uint8_t>(set & 7), stride);
}

void DeviceRenderer::SetColors(ColorBuffer* buffer) {
  AppendElement(buffer, d3d::kDeclFloat4, d3d::kUsageColor, 0, 16);
  if (device_) {
    device_->SetRenderState(d3d::kRsColorVertex, 1);
    device_->SetRenderState(d3d::kRsDiffuseMaterialSource, d3d::kMcsMaterial);
  }
}

void DeviceRenderer::SetPositions(Buffer* buffer) {
  uint32_t stride = 12;
  const uint8_t type = buffer != nullptr ? FloatsType(buffer, &stride) : static_cast<uint8_t>(d3d::kDeclFloat3);
  AppendElement(buffer, type, d3d::kUsagePosition, 0, stride);
}

void DeviceRenderer::SetPointSizes(FloatBuffer* buffer) { AppendElement(buffer, d3d::kDeclFloat1, d3d::kUsagePSize, 0, 4); }
void DeviceRenderer::SetNormals(Vector3Buffer* buffer) { AppendElement(buffer, d3d::kDeclFloat3, d3d::kUsageNormal, 0, 12); }
void DeviceRenderer::SetBlendWeights(Vector4Buffer* buffer) {
  AppendElement(buffer, d3d::kDeclFloat4, d3d::kUsageBlendWeight, 0, 16);
}
void DeviceRenderer::SetBlendIndices(Vector4Buffer* buffer) {
  AppendElement(buffer, d3d::kDeclFloat4, d3d::kUsageBlendIndices, 0, 16);
}

void DeviceRenderer::SetIndices(IntBuffer* buffer) {
  if (device_) device_->SetIndices(cache_.IndexBufferOf(buffer));
}

void DeviceRenderer::BeginPass(Pass* pass) {
  if (!device_ || pass == nullptr) return;
  if (pass->Handle().handle != nullptr && pass->Handle().changed) ReleasePass(pass);  // record again
  ApplyRenderStateBlock(pass->GetRenderStateBlock());
  nextStream_ = 0;
  if (pass->Handle().handle == nullptr) {
    // Recording starts from a clean state.
    for (int32_t stage = 0; stage < 7; ++stage) device_->SetTexture(static_cast<uint32_t>(stage), nullptr);
    device_->SetVertexShader(nullptr);
    device_->SetPixelShader(nullptr);
    elements_.clear();
  }
}

void DeviceRenderer::ApplyRenderStateBlock(RenderStateBlock* block) {
  if (!device_ || block == nullptr) return;
  if (block->Handle().handle != nullptr) {
    device_->ApplyStateBlock(*static_cast<d3d::StateBlock*>(block->Handle().handle));
    return;
  }
  device_->BeginStateBlock();
  TranslateRenderStates(*block, *device_, caps_.vertexShaderLevel == kShaderLevelNone ||
                                              caps_.pixelShaderLevel == kShaderLevelNone);
}

bool DeviceRenderer::FinishRecording() {
  Pass* pass = GetCurrentPass();
  if (pass == nullptr || pass->Handle().handle != nullptr) return true;
  std::unique_ptr<d3d::StateBlock> block = device_->EndStateBlock();
  RenderStateBlock* states = pass->GetRenderStateBlock();
  d3d::StateBlock* recorded = block.get();
  if (states != nullptr && block) {
    cache_.Keep(states, states->Handle(), block.release());
    states->Handle().changed = false;
  }
  auto declaration = device_->CreateVertexDeclaration(elements_);
  elements_.clear();
  if (!declaration) return false;
  cache_.Keep(pass, pass->Handle(), declaration.release());
  pass->Handle().changed = false;
  if (recorded != nullptr) device_->ApplyStateBlock(*recorded);  // recording applied nothing
  return true;
}

void DeviceRenderer::ApplyDrawAdjustments() {
  // While reflections are drawn the cull order turns round; a depth-equal
  // pass draws only where an earlier one left its depth.
  Pass* pass = GetCurrentPass();
  RenderStateBlock* states = pass != nullptr ? pass->GetRenderStateBlock() : nullptr;
  if (GetMirrorCulling() && states != nullptr && states->cullEnable) {
    device_->SetRenderState(d3d::kRsCullMode, states->cullMode == 0 ? d3d::kCullCcw : d3d::kCullCw);
  }
  if (GetDepthEqual()) device_->SetRenderState(d3d::kRsZFunc, d3d::kCmpEqual);
}

void DeviceRenderer::Draw(int32_t primitiveKind, bool indexed, uint32_t primitiveCount, uint32_t vertexCount) {
  nextStream_ = 0;
  if (!device_ || !FinishRecording()) return;
  Pass* pass = GetCurrentPass();
  if (pass != nullptr) device_->SetVertexDeclaration(static_cast<d3d::VertexDeclaration*>(pass->Handle().handle));
  ApplyDrawAdjustments();
  if (primitiveKind < 0 || primitiveKind > 3 || primitiveCount == 0) return;
  if (indexed) {
    device_->DrawIndexedPrimitive(kTypes[primitiveKind], 0, 0, vertexCount, 0, primitiveCount);
  } else {
    device_->DrawPrimitive(kTypes[primitiveKind], 0, primitiveCount);
  }
}

void DeviceRenderer::DrawIndexed(int32_t primitiveKind, int32_t vertexCount, int32_t indexCount) {
  if (indexCount <= 0) return;
  const uint32_t n = static_cast<uint32_t>(indexCount);
  uint32_t primitives = 0;
  switch (primitiveKind) {
    case 0: primitives = n; break;
    case 1: primitives = n / 2; break;
    case 2: primitives = n - 1; break;
    case 3: primitives = n / 3; break;
    default: return;
  }
  Draw(primitiveKind, true, primitives, static_cast<uint32_t>(std::max(0, vertexCount)));
}

void DeviceRenderer::DrawPrimitives(int32_t primitiveKind, int32_t primitiveCount) {
  // No primitives still ends the pass's recording: a pass that only sets
  // state (the letterbox) is recorded like any other.
  if (primitiveCount >= 0) Draw(primitiveKind, false, static_cast<uint32_t>(primitiveCount), 0);
}

void DeviceRenderer::DrawIndexedStreams(int32_t primitiveKind, Buffer* positions, IntBuffer* indices,
                                        Vector4Buffer* weights, Vector4Buffer* blendIndices, Buffer* texCoords) {
  if (!device_ || positions == nullptr || indices == nullptr) return;
  uint32_t stride = 12;
  FloatsType(positions, &stride);
  device_->SetStreamSource(0, cache_.VertexBufferOf(positions), 0, stride);
  if (texCoords != nullptr) device_->SetStreamSource(1, cache_.VertexBufferOf(texCoords), 0, 8);
  if (weights != nullptr) device_->SetStreamSource(2, cache_.VertexBufferOf(weights), 0, 16);
  if (blendIndices != nullptr) device_->SetStreamSource(3, cache_.VertexBufferOf(blendIndices), 0, 16);
  device_->SetIndices(cache_.IndexBufferOf(indices));
  ApplyDrawAdjustments();
  const uint32_t n = static_cast<uint32_t>(indices->GetCount());
  const uint32_t counts[] = {n, n / 2, n > 0 ? n - 1 : 0, n / 3};
  if (primitiveKind < 0 || primitiveKind > 3 || counts[primitiveKind] == 0) return;
  device_->DrawIndexedPrimitive(kTypes[primitiveKind], 0, 0, static_cast<uint32_t>(positions->GetCount()), 0,
                                counts[primitiveKind]);
}

// ---------------------------------------------------------------------------
// Frames, matrices, lights

void DeviceRenderer::Clear(uint32_t flags, const Color& color, float depth, uint32_t stencil) {
  if ((flags & kClearTarget) != 0) clearColor_ = color;
  if (device_) device_->Clear(flags & 7, color.ToARGB(), depth, stencil);
}

int DeviceRenderer::BeginScene() {
  if (!device_) return kFailed;
  if (!device_->IsUsable()) {
    // Everything is made again on its next use once the device is back.
    ReleaseAllDeviceObjects();
    return kFailed;
  }
  device_->BeginScene();
  device_->SetRenderState(d3d::kRsLighting, 0);
  device_->SetRenderState(d3d::kRsSpecularEnable, 0);
  return kOk;
}

void DeviceRenderer::EndScene() {
  if (!device_) return;
  device_->EndScene();
  // A child of a host's window goes when the host destroys its window, and
  // a GL driver presenting into a drawable that is gone may allocate
  // without bound: the frame is not shown then. (Asking costs a round trip
  // to the X server for a child window only.)
  if (GetWindow() != nullptr && !IsSystemWindowAlive(GetWindow())) return;
  device_->Present();
}

void DeviceRenderer::SetWorldMatrix(const Matrix4& matrix) {
  Renderer::SetWorldMatrix(matrix);
  if (device_) device_->SetTransform(d3d::kTsWorld, ToDevice(matrix));
}

void DeviceRenderer::SetViewMatrix(const Matrix4& matrix) {
  Renderer::SetViewMatrix(matrix);
  if (device_) device_->SetTransform(d3d::kTsView, ToDevice(matrix));
}

void DeviceRenderer::SetProjectionMatrix(const Matrix4& matrix) {
  Renderer::SetProjectionMatrix(matrix);
  if (device_) device_->SetTransform(d3d::kTsProjection, ToDevice(matrix));
}

void DeviceRenderer::SetTextureMatrix(int32_t stage, const Matrix4& matrix) {
  Renderer::SetTextureMatrix(stage, matrix);
  if (!device_) return;
  const uint32_t s = static_cast<uint32_t>(stage & 7);
  device_->SetTransform(d3d::kTsTexture0 + s, ToDevice(matrix));
  device_->SetTextureStageState(s, d3d::kTssTextureTransformFlags,
                                matrix == Matrix4::Identity() ? static_cast<uint32_t>(d3d::kTtffDisable)
                                                                : static_cast<uint32_t>(d3d::kTtffCount3));
}

void DeviceRenderer::ApplyLight(Light* light) {
  if (!device_ || light == nullptr) return;
  const uint32_t index = static_cast<uint32_t>(std::max(0, GetLightCount() - 1));
  if (GetLightCount() == 1) {
    device_->SetRenderState(d3d::kRsLighting, 1);
    device_->SetRenderState(d3d::kRsSpecularEnable, 1);
  }
  d3d::Light out;
  out.diffuse = {light->diffuse.r, light->diffuse.g, light->diffuse.b, light->diffuse.a};
  out.specular = {light->specular.r, light->specular.g, light->specular.b, light->specular.a};
  out.ambient = {light->ambient.r, light->ambient.g, light->ambient.b, light->ambient.a};
  out.range = 1.8446743e19f;
  if (light->useAttenuation) {
    out.attenuation0 = light->attenuationConstant;
    out.attenuation1 = light->attenuationLinear;
    out.attenuation2 = light->attenuationQuadratic;
  } else {
    out.attenuation0 = 1;
  }
  const Vector3 position = light->GetPosition(), direction = light->GetDirection();
  switch (light->lightType) {
    case Light::kFixedDirectional:
      out.type = d3d::kLightDirectional;
      out.direction = {0, 0, 1};
      break;
    case Light::kDirectional:
      out.type = d3d::kLightDirectional;
      out.direction = {direction.x, direction.y, direction.z};
      break;
    case Light::kPoint:
      out.type = d3d::kLightPoint;
      out.position = {position.x, position.y, position.z};
      break;
    case Light::kSpot:
      out.type = d3d::kLightSpot;
      out.position = {position.x, position.y, position.z};
      out.direction = {direction.x, direction.y, direction.z};
      out.falloff = light->spotFalloff;
      out.theta = 2.0f * light->spotAngle;
      out.phi = 2.1f * light->spotAngle;
      break;
    default:
      return;  // no light type for it
  }
  device_->SetLight(index, out);
  device_->LightEnable(index, true);
}

void DeviceRenderer::RemoveLight() {
  if (!device_) return;
  device_->LightEnable(static_cast<uint32_t>(GetLightCount()), false);
  if (GetLightCount() == 0) {
    device_->SetRenderState(d3d::kRsLighting, 0);
    device_->SetRenderState(d3d::kRsSpecularEnable, 0);
  }
}

// ---------------------------------------------------------------------------
// Render targets

void DeviceRenderer::TargetChanged() {
  viewportWidth_ = static_cast<int32_t>(device_->GetTargetWidth());
  viewportHeight_ = static_cast<int32_t>(device_->GetTargetHeight());
}

int DeviceRenderer::PopTarget() {
  if (targets_.IsEmpty()) return kFailed;
  FlushQueues();
  targets_.Pop();
  TargetChanged();
  return kOk;
}

int DeviceRenderer::BeginRenderToTexture(Texture* texture) {
  if (!device_) return kFailed;
  if (texture == nullptr) return PopTarget();
  if (targets_.PushTexture(texture) != kOk) return kFailed;
  TargetChanged();
  return kOk;
}

int DeviceRenderer::BeginRenderToCubeFace(int32_t face, CubeTexture* texture) {
  if (!device_) return kFailed;
  if (texture == nullptr) return PopTarget();
  if (targets_.PushCubeFace(face, texture) != kOk) return kFailed;
  TargetChanged();
  return kOk;
}

int DeviceRenderer::BeginRenderToShadowMap(Texture* texture, float depthBias, float slopeBias) {
  if (!device_) return kFailed;
  if (texture == nullptr) {
    device_->SetRenderState(d3d::kRsDepthBias, 0);
    device_->SetRenderState(d3d::kRsSlopeScaleDepthBias, 0);
    device_->SetRenderState(d3d::kRsColorWriteEnable, 0xF);
    return PopTarget();
  }
  if (targets_.PushShadowMap(texture) != kOk) return kFailed;
  TargetChanged();
  device_->SetRenderState(d3d::kRsDepthBias, d3d::FloatBits(depthBias / 16777216.0f));
  device_->SetRenderState(d3d::kRsSlopeScaleDepthBias, d3d::FloatBits(slopeBias));
  // Only depth goes into a shadow map: the colour target beside it is never
  // read, and writing no colour spares the shading and blending of every
  // caster's pixels.
  device_->SetRenderState(d3d::kRsColorWriteEnable, 0);
  return kOk;
}

void DeviceRenderer::SetViewport(const Vector2& origin, const Vector2& size) {
  Renderer::SetViewport(origin, size);
  if (!device_) return;
  d3d::Viewport viewport;
  viewport.x = static_cast<uint32_t>(std::max(0.0f, origin.x));
  viewport.y = static_cast<uint32_t>(std::max(0.0f, origin.y));
  viewport.width = static_cast<uint32_t>(std::max(0.0f, size.x));
  viewport.height = static_cast<uint32_t>(std::max(0.0f, size.y));
  device_->SetViewport(viewport);
}

void DeviceRenderer::SetGamma(int32_t gamma) {
  if (!device_) return;
  uint16_t ramp[3][256];
  BuildGammaRamp(gamma, ramp[0]);
  std::memcpy(ramp[1], ramp[0], sizeof ramp[0]);
  std::memcpy(ramp[2], ramp[0], sizeof ramp[0]);
  if (!device_->SetGammaRamp(ramp)) {
    LogWarning(KLX_TEXT("Невозможно установить гамму [%d]."), gamma);
  }
}

}  // namespace klx
