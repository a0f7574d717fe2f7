#include "render/opengl_renderer.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "core/builtin_module.h"
#include "core/log.h"
#include "core/module.h"
#include "platform/displays.h"
#include "platform/message_box.h"
#include "platform/system_window.h"
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

d3d::Format TargetFormat(uint32_t imageFormat) {
  switch (imageFormat) {
    case kImageRGBA8: return d3d::kFmtA8R8G8B8;
    case kImageA8: return d3d::kFmtA8;
    case kImageFormat64: return d3d::kFmtA16B16G16R16F;
    default: return d3d::kFmtX8R8G8B8;
  }
}

// Image pixels (rows bottom first, R G B [A]) to the device's layout (rows
// top first, B G R A).
std::vector<uint8_t> DeviceTexels(const uint8_t* pixels, uint32_t format, uint32_t width, uint32_t height) {
  const uint32_t out = format == kImageA8 ? 1 : 4;
  const uint32_t in = BytesPerPixel(format);
  std::vector<uint8_t> texels(static_cast<size_t>(width) * height * out);
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* source = pixels + static_cast<size_t>(height - 1 - row) * width * in;
    uint8_t* target = texels.data() + static_cast<size_t>(row) * width * out;
    for (uint32_t x = 0; x < width; ++x, source += in, target += out) {
      if (format == kImageA8) {
        target[0] = source[0];
      } else {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
        target[3] = format == kImageRGBA8 ? source[3] : 255;
      }
    }
  }
  return texels;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and configurations

OpenGLRenderer::OpenGLRenderer() {
  videoHeld_ = AcquireVideo();
  if (videoHeld_) EnumerateConfigurations();
}

OpenGLRenderer::~OpenGLRenderer() {
  if (GetWindow() != nullptr && device_ && CloseWindow() != kOk) {
    LogError(KLX_TEXT("Невозможно закрыть окно рендеринга."));
  }
  ReleaseDevice();
  if (videoHeld_) ReleaseVideo();
}

void OpenGLRenderer::EnumerateConfigurations() {
  // The first display's 32-bit modes, each size once, by width then height.
  std::vector<DisplayMode> modes;
  for (const DisplayMode& mode : ListDisplayModes(0)) {
    if (mode.colorBits != 32 || mode.width <= 0 || mode.height <= 0) continue;
    const bool known = std::any_of(modes.begin(), modes.end(), [&](const DisplayMode& m) {
      return m.width == mode.width && m.height == mode.height;
    });
    if (!known) modes.push_back(mode);
  }
  std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return a.width != b.width ? a.width < b.width : a.height < b.height;
  });
  DisplayMode desktop;
  const bool hasDesktop = GetDesktopDisplayMode(0, &desktop);
  struct Depth {
    int32_t depth, stencil;
  };
  // Back-buffer formats A8R8G8B8 and X8R8G8B8: the record tells them apart
  // by its alpha bits (8 and 0), which is what device creation reads.
  const int32_t alphas[] = {8, 0};
  const Depth depths[] = {{24, 8}, {24, 0}, {16, 0}};
  const int32_t samples[] = {1, 2, 4};
  for (int32_t alpha : alphas) {
    for (const Depth& depth : depths) {
      for (int32_t sampleCount : samples) {
        DisplayConfiguration c;
        c.colorBits = 32;
        c.alphaBits = alpha;
        c.depthBits = depth.depth;
        c.stencilBits = depth.stencil;
        c.samples = sampleCount;
        c.fullScreen = true;
        for (const DisplayMode& mode : modes) {
          c.width = mode.width;
          c.height = mode.height;
          if (defaultConfiguration_ < 0 && hasDesktop && mode.width == desktop.width && mode.height == desktop.height) {
            defaultConfiguration_ = configurations_.Count();
          }
          configurations_.Append(c);
        }
        DisplayConfiguration windowed = c;
        windowed.fullScreen = false;
        windowed.width = windowed.height = 0;
        configurations_.Append(windowed);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The device

int OpenGLRenderer::CreateDevice(int32_t configuration, const String&, uint64_t, int32_t, int32_t, int32_t width,
                                 int32_t height) {
  if (configuration < 0 || configuration >= configurations_.Count() || GetWindow() == nullptr) return kFailed;
  const DisplayConfiguration& c = configurations_[configuration];
  d3d::DeviceSettings settings;
  settings.width = static_cast<uint32_t>(c.fullScreen ? c.width : width);
  settings.height = static_cast<uint32_t>(c.fullScreen ? c.height : height);
  settings.backBufferFormat = BackBufferFormat(c);
  settings.depthStencilFormat = DepthFormat(c);
  settings.samples = static_cast<uint32_t>(c.samples);
  std::string error;
  SDL_Window* window = GetSdlWindow(GetWindow());
  device_ = d3d::CreateGlDevice(window, settings, &error);
  if (!device_ && settings.samples > 1) {
    // As the original fell back from hardware to software processing once:
    // here the fallback is a back buffer without multisampling.
    hardwareVertexProcessing_ = false;
    settings.samples = 1;
    device_ = d3d::CreateGlDevice(window, settings, &error);
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
  device_->SetRenderState(d3d::kRsLighting, 0);
  device_->SetRenderState(d3d::kRsSpecularEnable, 0);
  target_ = Target{};
  return kOk;
}

void OpenGLRenderer::LogCapabilities() {
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

int OpenGLRenderer::ReleaseDevice() {
  ReleaseAllDeviceObjects();
  targetStack_.clear();
  ownDepth_.clear();
  device_.reset();
  return kOk;
}

// ---------------------------------------------------------------------------
// Device copies

void OpenGLRenderer::Forget(Object* resource) { table_.erase(resource->GetID()); }

void OpenGLRenderer::DropCopy(Object* resource, DeviceHandle& handle) {
  delete static_cast<d3d::DeviceObject*>(handle.handle);
  Forget(resource);
  handle.Clear();
}

void OpenGLRenderer::ReleaseBuffer(Buffer* buffer) {
  if (buffer != nullptr) DropCopy(buffer, buffer->Handle());
}

void OpenGLRenderer::ReleaseTexture(BaseTexture* texture) {
  if (texture == nullptr) return;
  ownDepth_.erase(texture->GetID());
  DropCopy(texture, texture->Handle());
}

void OpenGLRenderer::ReleaseShader(Shader* shader) {
  if (shader != nullptr) DropCopy(shader, shader->Handle());
}

void OpenGLRenderer::ReleasePass(Pass* pass) {
  if (pass == nullptr) return;
  if (pass->GetRenderStateBlock() != nullptr) ReleaseRenderStateBlock(pass->GetRenderStateBlock());
  DropCopy(pass, pass->Handle());
}

void OpenGLRenderer::ReleaseQuery(OcclusionQuery* query) {
  if (query != nullptr) DropCopy(query, query->Handle());
}

void OpenGLRenderer::ReleaseRenderStateBlock(RenderStateBlock* block) {
  if (block != nullptr) DropCopy(block, block->Handle());
}

void OpenGLRenderer::ReleaseAllDeviceObjects() {
  // Each release takes its entry out of the table; the resources stay and
  // are made again on their next use.
  while (!table_.empty()) {
    Object* resource = table_.begin()->second;
    if (auto* buffer = DynamicCast<Buffer>(resource)) {
      ReleaseBuffer(buffer);
    } else if (auto* texture = DynamicCast<BaseTexture>(resource)) {
      ReleaseTexture(texture);
    } else if (auto* shader = DynamicCast<Shader>(resource)) {
      ReleaseShader(shader);
    } else if (auto* pass = DynamicCast<Pass>(resource)) {
      ReleasePass(pass);
    } else if (auto* query = DynamicCast<OcclusionQuery>(resource)) {
      ReleaseQuery(query);
    } else if (auto* block = DynamicCast<RenderStateBlock>(resource)) {
      ReleaseRenderStateBlock(block);
    } else {
      table_.erase(table_.begin());
    }
  }
}

d3d::VertexBuffer* OpenGLRenderer::VertexBufferOf(Buffer* buffer) {
  if (buffer == nullptr || !device_ || buffer->GetCount() == 0) return nullptr;
  DeviceHandle& handle = buffer->Handle();
  auto* copy = static_cast<d3d::VertexBuffer*>(handle.handle);
  if (copy == nullptr) {
    copy = device_->CreateVertexBuffer(static_cast<uint32_t>(buffer->GetDataSize())).release();
    if (copy == nullptr) return nullptr;
    handle.Store(copy);
    table_[buffer->GetID()] = buffer;
    handle.changed = true;
  }
  if (handle.changed) {
    copy->Write(0, buffer->GetData(), std::min<uint32_t>(copy->GetSize(), static_cast<uint32_t>(buffer->GetDataSize())));
    handle.changed = false;
  }
  return copy;
}

d3d::IndexBuffer* OpenGLRenderer::IndexBufferOf(IntBuffer* buffer) {
  if (buffer == nullptr || !device_ || buffer->GetCount() == 0) return nullptr;
  DeviceHandle& handle = buffer->Handle();
  auto* copy = static_cast<d3d::IndexBuffer*>(handle.handle);
  const uint32_t size = static_cast<uint32_t>(buffer->GetCount()) * (wideIndices_ ? 4u : 2u);
  if (copy == nullptr) {
    copy = device_->CreateIndexBuffer(size, wideIndices_ ? d3d::kFmtIndex32 : d3d::kFmtIndex16).release();
    if (copy == nullptr) return nullptr;
    handle.Store(copy);
    table_[buffer->GetID()] = buffer;
    handle.changed = true;
  }
  if (handle.changed) {
    if (wideIndices_) {
      copy->Write(0, buffer->GetData(), std::min(size, copy->GetSize()));
    } else {
      std::vector<uint16_t> narrow(static_cast<size_t>(buffer->GetCount()));
      for (size_t i = 0; i < narrow.size(); ++i) narrow[i] = static_cast<uint16_t>(buffer->Elements()[i]);
      copy->Write(0, narrow.data(), std::min(size, copy->GetSize()));
    }
    handle.changed = false;
  }
  return copy;
}

bool OpenGLRenderer::UploadTexture(BaseTexture* texture, d3d::BaseTexture* copy) {
  const Image* image = nullptr;
  uint32_t faces = 1;
  uint32_t slices = 1;
  if (auto* plain = DynamicCast<Texture>(texture)) {
    image = plain->GetImage();
  } else if (auto* cube = DynamicCast<CubeTexture>(texture)) {
    image = cube->GetImage();
    faces = 6;
  } else if (auto* volume = DynamicCast<VolumeTexture>(texture)) {
    image = volume->GetImage();
    if (image != nullptr) slices = volume->GetImage()->GetDepth();
  }
  if (image == nullptr || image->GetPixels() == nullptr) return false;
  const uint32_t width = image->GetWidth();
  const uint32_t height = faces == 6 ? width : image->GetHeight();
  const size_t faceBytes = static_cast<size_t>(width) * height * BytesPerPixel(image->GetFormat());
  const uint32_t texel = image->GetFormat() == kImageA8 ? 1 : 4;
  if (slices > 1) {
    std::vector<uint8_t> all;
    for (uint32_t slice = 0; slice < slices; ++slice) {
      const std::vector<uint8_t> texels = DeviceTexels(image->GetPixels() + slice * faceBytes, image->GetFormat(), width, height);
      all.insert(all.end(), texels.begin(), texels.end());
    }
    if (!copy->WriteLevel(0, 0, all.data(), width * texel, width * height * texel)) return false;
  } else {
    for (uint32_t face = 0; face < faces; ++face) {
      const std::vector<uint8_t> texels = DeviceTexels(image->GetPixels() + face * faceBytes, image->GetFormat(), width, height);
      if (!copy->WriteLevel(face, 0, texels.data(), width * texel, 0)) return false;
    }
  }
  return copy->GenerateMipChain();
}

d3d::BaseTexture* OpenGLRenderer::TextureOf(BaseTexture* texture) {
  if (texture == nullptr || !device_) return nullptr;
  DeviceHandle& handle = texture->Handle();
  auto* copy = static_cast<d3d::BaseTexture*>(handle.handle);
  if (copy == nullptr) {
    const Image* image = nullptr;
    std::unique_ptr<d3d::BaseTexture> made;
    const uint32_t levels = static_cast<uint32_t>(std::max(0, texture->GetMipMapCount()));
    if (auto* plain = DynamicCast<Texture>(texture); plain != nullptr && (image = plain->GetImage()) != nullptr) {
      made = device_->CreateTexture(image->GetWidth(), image->GetHeight(), levels, d3d::kUsageNone, TargetFormat(image->GetFormat()));
    } else if (auto* cube = DynamicCast<CubeTexture>(texture); cube != nullptr && (image = cube->GetImage()) != nullptr) {
      made = device_->CreateCubeTexture(image->GetWidth(), levels, d3d::kUsageNone, TargetFormat(image->GetFormat()));
    } else if (auto* volume = DynamicCast<VolumeTexture>(texture); volume != nullptr && volume->GetImage() != nullptr) {
      const VolumeImage* v = volume->GetImage();
      made = device_->CreateVolumeTexture(v->GetWidth(), v->GetHeight(), v->GetDepth(), levels, TargetFormat(v->GetFormat()));
      image = v;
    }
    if (image == nullptr || image->GetPixels() == nullptr) return nullptr;  // binds as null
    if (!made) {
      LogError(KLX_TEXT("Невозможно создать системную текстуру для обновления изображения текстуры [%s]."),
               texture->GetName().CStr());
      return nullptr;
    }
    copy = made.release();
    handle.Store(copy);
    table_[texture->GetID()] = texture;
    texture->SetMipMapCount(static_cast<int32_t>(copy->GetLevelCount()));
    handle.changed = true;
  }
  if (handle.changed && (copy->GetUsage() == d3d::kUsageNone)) {
    if (!UploadTexture(texture, copy)) {
      LogError(KLX_TEXT("Невозможно обновить изображение текстуры [%s]."), texture->GetName().CStr());
      return copy;  // stays marked changed
    }
    handle.changed = false;
  }
  return copy;
}

// ---------------------------------------------------------------------------
// Queries, textures, shaders

void OpenGLRenderer::BeginQuery(OcclusionQuery* query) {
  if (query == nullptr || !device_) return;
  DeviceHandle& handle = query->Handle();
  if (handle.handle == nullptr) {
    auto made = device_->CreateOcclusionQuery();
    if (!made) {
      handle.reserved = 0;
      return;
    }
    handle.Store(made.release());
    table_[query->GetID()] = query;
  }
  static_cast<d3d::OcclusionQuery*>(handle.handle)->Begin();
}

void OpenGLRenderer::EndQuery(OcclusionQuery* query) {
  if (query == nullptr || query->Handle().handle == nullptr) return;
  auto* copy = static_cast<d3d::OcclusionQuery*>(query->Handle().handle);
  copy->End();
  uint32_t samples = 0;
  copy->GetResult(&samples, true);
  // The visible-pixel count lives in the handle's spare field.
  query->Handle().reserved = static_cast<int32_t>(samples);
}

void OpenGLRenderer::SetTexture(BaseTexture* texture, int32_t stage) {
  if (!device_ || stage < 0 || stage > 7) return;
  if (texture == nullptr) {
    device_->SetTexture(static_cast<uint32_t>(stage), nullptr);
    return;
  }
  for (const StackEntry& entry : targetStack_) {
    if (entry.texture == texture) return;  // being rendered into
  }
  device_->SetTexture(static_cast<uint32_t>(stage), TextureOf(texture));
}

namespace {

d3d::Shader* ShaderOf(d3d::Device& device, Shader* shader, std::unordered_map<int32_t, Object*>& table) {
  DeviceHandle& handle = shader->Handle();
  if (handle.handle == nullptr) {
    if (!handle.changed) return nullptr;  // failed before: no shader until the text changes
    std::string error;
    const std::string text(shader->GetText() != nullptr ? shader->GetText() : "",
                           static_cast<size_t>(shader->GetTextLength()));
    auto made = device.CreateShader(shader->GetShaderType() == 0 ? d3d::kVertexShader : d3d::kPixelShader, text, &error);
    handle.changed = false;
    if (!made) {
      LogError("%s", error.c_str());
      ShowMessageBox("", error.c_str());
      return nullptr;
    }
    handle.Store(made.release());
    table[shader->GetID()] = shader;
  }
  return static_cast<d3d::Shader*>(handle.handle);
}

}  // namespace

void OpenGLRenderer::SetVertexShader(VertexShader* shader) {
  if (!device_) return;
  device_->SetVertexShader(shader != nullptr ? ShaderOf(*device_, shader, table_) : nullptr);
}

void OpenGLRenderer::SetPixelShader(PixelShader* shader) {
  if (!device_) return;
  device_->SetPixelShader(shader != nullptr ? ShaderOf(*device_, shader, table_) : nullptr);
}

void OpenGLRenderer::SetVertexShaderConstants(int32_t start, const float* data, int32_t count) {
  if (device_ && start >= 0 && count > 0) device_->SetVertexShaderConstants(static_cast<uint32_t>(start), data, static_cast<uint32_t>(count));
}

void OpenGLRenderer::SetPixelShaderConstants(int32_t start, const float* data, int32_t count) {
  if (device_ && start >= 0 && count > 0) device_->SetPixelShaderConstants(static_cast<uint32_t>(start), data, static_cast<uint32_t>(count));
}

// ---------------------------------------------------------------------------
// Streams, passes and draws

void OpenGLRenderer::AppendElement(Buffer* buffer, uint8_t type, uint8_t usage, uint8_t usageIndex, uint32_t stride) {
  if (!device_) return;
  Pass* pass = GetCurrentPass();
  const bool recording = pass == nullptr || pass->Handle().handle == nullptr;
  d3d::VertexBuffer* copy = VertexBufferOf(buffer);
  if (!recording) return;  // the pass's state block binds the streams
  const uint16_t stream = static_cast<uint16_t>(elements_.size());
  elements_.push_back(d3d::VertexElement{copy != nullptr ? stream : static_cast<uint16_t>(0), 0, type, usage, usageIndex});
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

void OpenGLRenderer::SetTexCoords(Buffer* buffer, int32_t set) {
  uint32_t stride = 4;
  const uint8_t type = FloatsType(buffer, &stride);
  AppendElement(buffer, type, d3d::kUsageTexCoord, static_cast<uint8_t>(set & 7), stride);
}

void OpenGLRenderer::SetColors(ColorBuffer* buffer) {
  AppendElement(buffer, d3d::kDeclFloat4, d3d::kUsageColor, 0, 16);
  if (device_) {
    device_->SetRenderState(d3d::kRsColorVertex, 1);
    device_->SetRenderState(d3d::kRsDiffuseMaterialSource, d3d::kMcsMaterial);
  }
}

void OpenGLRenderer::SetPositions(Buffer* buffer) {
  uint32_t stride = 12;
  const uint8_t type = buffer != nullptr ? FloatsType(buffer, &stride) : static_cast<uint8_t>(d3d::kDeclFloat3);
  AppendElement(buffer, type, d3d::kUsagePosition, 0, stride);
}

void OpenGLRenderer::SetPointSizes(FloatBuffer* buffer) { AppendElement(buffer, d3d::kDeclFloat1, d3d::kUsagePSize, 0, 4); }
void OpenGLRenderer::SetNormals(Vector3Buffer* buffer) { AppendElement(buffer, d3d::kDeclFloat3, d3d::kUsageNormal, 0, 12); }
void OpenGLRenderer::SetBlendWeights(Vector4Buffer* buffer) {
  AppendElement(buffer, d3d::kDeclFloat4, d3d::kUsageBlendWeight, 0, 16);
}
void OpenGLRenderer::SetBlendIndices(Vector4Buffer* buffer) {
  AppendElement(buffer, d3d::kDeclFloat4, d3d::kUsageBlendIndices, 0, 16);
}

void OpenGLRenderer::SetIndices(IntBuffer* buffer) {
  if (device_) device_->SetIndices(IndexBufferOf(buffer));
}

void OpenGLRenderer::BeginPass(Pass* pass) {
  if (!device_ || pass == nullptr) return;
  if (pass->Handle().handle != nullptr && pass->Handle().changed) ReleasePass(pass);  // record again
  ApplyRenderStateBlock(pass->GetRenderStateBlock());
  if (pass->Handle().handle == nullptr) {
    // Recording starts from a clean state.
    for (int32_t stage = 0; stage < 7; ++stage) device_->SetTexture(static_cast<uint32_t>(stage), nullptr);
    device_->SetVertexShader(nullptr);
    device_->SetPixelShader(nullptr);
    elements_.clear();
  }
}

void OpenGLRenderer::ApplyRenderStateBlock(RenderStateBlock* block) {
  if (!device_ || block == nullptr) return;
  if (block->Handle().handle != nullptr) {
    device_->ApplyStateBlock(*static_cast<d3d::StateBlock*>(block->Handle().handle));
    return;
  }
  device_->BeginStateBlock();
  TranslateRenderStates(*block, *device_, caps_.vertexShaderLevel == kShaderLevelNone ||
                                              caps_.pixelShaderLevel == kShaderLevelNone);
}

bool OpenGLRenderer::FinishRecording() {
  Pass* pass = GetCurrentPass();
  if (pass == nullptr || pass->Handle().handle != nullptr) return true;
  std::unique_ptr<d3d::StateBlock> block = device_->EndStateBlock();
  RenderStateBlock* states = pass->GetRenderStateBlock();
  d3d::StateBlock* recorded = block.get();
  if (states != nullptr && block) {
    states->Handle().Store(block.release());
    states->Handle().changed = false;
    table_[states->GetID()] = states;
  }
  auto declaration = device_->CreateVertexDeclaration(elements_);
  elements_.clear();
  if (!declaration) return false;
  pass->Handle().Store(declaration.release());
  pass->Handle().changed = false;
  table_[pass->GetID()] = pass;
  if (recorded != nullptr) device_->ApplyStateBlock(*recorded);  // recording applied nothing
  return true;
}

void OpenGLRenderer::ApplyDrawAdjustments() {
  // While reflections are drawn the cull order turns round; a depth-equal
  // pass draws only where an earlier one left its depth.
  Pass* pass = GetCurrentPass();
  RenderStateBlock* states = pass != nullptr ? pass->GetRenderStateBlock() : nullptr;
  if (GetMirrorCulling() && states != nullptr && states->cullEnable) {
    device_->SetRenderState(d3d::kRsCullMode, states->cullMode == 0 ? d3d::kCullCcw : d3d::kCullCw);
  }
  if (GetDepthEqual()) device_->SetRenderState(d3d::kRsZFunc, d3d::kCmpEqual);
}

void OpenGLRenderer::Draw(int32_t primitiveKind, bool indexed, uint32_t primitiveCount, uint32_t vertexCount) {
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

void OpenGLRenderer::DrawIndexed(int32_t primitiveKind, int32_t vertexCount, int32_t indexCount) {
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

void OpenGLRenderer::DrawPrimitives(int32_t primitiveKind, int32_t primitiveCount) {
  if (primitiveCount > 0) Draw(primitiveKind, false, static_cast<uint32_t>(primitiveCount), 0);
}

void OpenGLRenderer::DrawIndexedStreams(int32_t primitiveKind, Buffer* positions, IntBuffer* indices,
                                        Vector4Buffer* weights, Vector4Buffer* blendIndices, Buffer* texCoords) {
  if (!device_ || positions == nullptr || indices == nullptr) return;
  uint32_t stride = 12;
  FloatsType(positions, &stride);
  device_->SetStreamSource(0, VertexBufferOf(positions), 0, stride);
  if (texCoords != nullptr) device_->SetStreamSource(1, VertexBufferOf(texCoords), 0, 8);
  if (weights != nullptr) device_->SetStreamSource(2, VertexBufferOf(weights), 0, 16);
  if (blendIndices != nullptr) device_->SetStreamSource(3, VertexBufferOf(blendIndices), 0, 16);
  device_->SetIndices(IndexBufferOf(indices));
  ApplyDrawAdjustments();
  const uint32_t n = static_cast<uint32_t>(indices->GetCount());
  const uint32_t counts[] = {n, n / 2, n > 0 ? n - 1 : 0, n / 3};
  if (primitiveKind < 0 || primitiveKind > 3 || counts[primitiveKind] == 0) return;
  device_->DrawIndexedPrimitive(kTypes[primitiveKind], 0, 0, static_cast<uint32_t>(positions->GetCount()), 0,
                                counts[primitiveKind]);
}

// ---------------------------------------------------------------------------
// Frames, matrices, lights

void OpenGLRenderer::Clear(uint32_t flags, const Color& color, float depth, uint32_t stencil) {
  if ((flags & kClearTarget) != 0) clearColor_ = color;
  if (device_) device_->Clear(flags & 7, color.ToARGB(), depth, stencil);
}

int OpenGLRenderer::BeginScene() {
  if (!device_) return 1;
  if (!device_->IsUsable()) {
    // Everything is made again on its next use once the device is back.
    ReleaseAllDeviceObjects();
    return 1;
  }
  device_->BeginScene();
  device_->SetRenderState(d3d::kRsLighting, 0);
  device_->SetRenderState(d3d::kRsSpecularEnable, 0);
  return 0;
}

void OpenGLRenderer::EndScene() {
  if (!device_) return;
  device_->EndScene();
  device_->Present();
}

void OpenGLRenderer::SetWorldMatrix(const Matrix4& matrix) {
  Renderer::SetWorldMatrix(matrix);
  if (device_) device_->SetTransform(d3d::kTsWorld, ToDevice(matrix));
}

void OpenGLRenderer::SetViewMatrix(const Matrix4& matrix) {
  Renderer::SetViewMatrix(matrix);
  if (device_) device_->SetTransform(d3d::kTsView, ToDevice(matrix));
}

void OpenGLRenderer::SetProjectionMatrix(const Matrix4& matrix) {
  Renderer::SetProjectionMatrix(matrix);
  if (device_) device_->SetTransform(d3d::kTsProjection, ToDevice(matrix));
}

void OpenGLRenderer::SetTextureMatrix(int32_t stage, const Matrix4& matrix) {
  Renderer::SetTextureMatrix(stage, matrix);
  if (!device_) return;
  const uint32_t s = static_cast<uint32_t>(stage & 7);
  device_->SetTransform(d3d::kTsTexture0 + s, ToDevice(matrix));
  device_->SetTextureStageState(s, d3d::kTssTextureTransformFlags,
                                matrix == Matrix4::Identity() ? static_cast<uint32_t>(d3d::kTtffDisable)
                                                                : static_cast<uint32_t>(d3d::kTtffCount3));
}

void OpenGLRenderer::ApplyLight(Light* light) {
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

void OpenGLRenderer::RemoveLight() {
  if (!device_) return;
  device_->LightEnable(static_cast<uint32_t>(GetLightCount()), false);
  if (GetLightCount() == 0) {
    device_->SetRenderState(d3d::kRsLighting, 0);
    device_->SetRenderState(d3d::kRsSpecularEnable, 0);
  }
}

// ---------------------------------------------------------------------------
// Render targets

void OpenGLRenderer::BindTarget(const Target& target) {
  target_ = target;
  device_->SetRenderTarget(target.color, target.face);
  if (target.depthTexture != nullptr) {
    device_->SetDepthStencilTexture(target.depthTexture);
  } else {
    device_->SetDepthStencil(target.depth);
  }
  viewportWidth_ = static_cast<int32_t>(device_->GetTargetWidth());
  viewportHeight_ = static_cast<int32_t>(device_->GetTargetHeight());
}

int OpenGLRenderer::PopTarget() {
  if (targetStack_.empty()) return kFailed;
  FlushQueues();
  const StackEntry entry = targetStack_.back();
  targetStack_.pop_back();
  BindTarget(entry.saved);
  return kOk;
}

d3d::BaseTexture* OpenGLRenderer::RenderTargetOf(BaseTexture* texture, bool cube, uint32_t edge, uint32_t width,
                                                 uint32_t height, d3d::Format format) {
  DeviceHandle& handle = texture->Handle();
  auto* copy = static_cast<d3d::BaseTexture*>(handle.handle);
  if (copy != nullptr && (copy->GetUsage() & d3d::kUsageRenderTarget) == 0) {
    ReleaseTexture(texture);
    copy = nullptr;
  }
  if (copy == nullptr) {
    std::unique_ptr<d3d::BaseTexture> made;
    for (int attempt = 0; attempt < 2 && !made; ++attempt) {  // tried once more, as the original did
      made = cube ? device_->CreateCubeTexture(edge, 1, d3d::kUsageRenderTarget, format)
                  : device_->CreateTexture(width, height, 1, d3d::kUsageRenderTarget, format);
    }
    if (!made) return nullptr;
    copy = made.release();
    handle.Store(copy);
    handle.changed = false;
    table_[texture->GetID()] = texture;
    texture->SetMipMapCount(1);
  }
  return copy;
}

int OpenGLRenderer::BeginRenderToTexture(Texture* texture) {
  if (!device_) return kFailed;
  if (texture == nullptr) return PopTarget();
  const Image* image = texture->GetImage();
  if (image == nullptr) return kFailed;
  d3d::BaseTexture* copy = RenderTargetOf(texture, false, 0, image->GetWidth(), image->GetHeight(),
                                          TargetFormat(image->GetFormat()));
  if (copy == nullptr) return kFailed;
  Target next;
  next.color = copy;
  next.depth = target_.depth;
  next.depthTexture = target_.depthTexture;
  if (texture->HasOwnDepthBuffer()) {
    auto& depth = ownDepth_[texture->GetID()];
    if (!depth) depth = device_->CreateDepthStencilSurface(copy->GetWidth(), copy->GetHeight(), device_->GetDepthStencilFormat());
    next.depth = depth.get();
    next.depthTexture = nullptr;
  }
  targetStack_.push_back(StackEntry{texture, target_});
  BindTarget(next);
  return kOk;
}

int OpenGLRenderer::BeginRenderToCubeFace(int32_t face, CubeTexture* texture) {
  if (!device_) return kFailed;
  if (texture == nullptr) return PopTarget();
  const Image* image = texture->GetImage();
  if (image == nullptr || face < 0 || face > 5) return kFailed;
  d3d::BaseTexture* copy = RenderTargetOf(texture, true, image->GetWidth(), 0, 0, TargetFormat(image->GetFormat()));
  if (copy == nullptr) return kFailed;
  auto& depth = ownDepth_[texture->GetID()];
  if (!depth) depth = device_->CreateDepthStencilSurface(copy->GetWidth(), copy->GetWidth(), device_->GetDepthStencilFormat());
  targetStack_.push_back(StackEntry{texture, target_});
  BindTarget(Target{copy, static_cast<uint32_t>(face), depth.get(), nullptr});
  return kOk;
}

int OpenGLRenderer::BeginRenderToShadowMap(Texture* texture, float depthBias, float slopeBias) {
  if (!device_) return kFailed;
  if (texture == nullptr) {
    device_->SetRenderState(d3d::kRsDepthBias, 0);
    device_->SetRenderState(d3d::kRsSlopeScaleDepthBias, 0);
    return PopTarget();
  }
  const Image* image = texture->GetImage();
  if (image == nullptr) return kFailed;
  DeviceHandle& handle = texture->Handle();
  auto* copy = static_cast<d3d::BaseTexture*>(handle.handle);
  if (copy != nullptr && (copy->GetUsage() & d3d::kUsageDepthStencil) == 0) {
    ReleaseTexture(texture);
    copy = nullptr;
  }
  if (copy == nullptr) {
    auto made = device_->CreateTexture(image->GetWidth(), image->GetHeight(), 1, d3d::kUsageDepthStencil,
                                       device_->GetDepthStencilFormat());
    if (!made) return kFailed;
    copy = made.release();
    handle.Store(copy);
    handle.changed = false;
    table_[texture->GetID()] = texture;
  }
  targetStack_.push_back(StackEntry{texture, target_});
  Target next = target_;
  next.depthTexture = copy;
  next.depth = nullptr;
  // The colour target stays and the viewport is not changed.
  const d3d::Viewport viewport = device_->GetViewport();
  BindTarget(next);
  device_->SetViewport(viewport);
  device_->SetRenderState(d3d::kRsDepthBias, d3d::FloatBits(depthBias / 16777216.0f));
  device_->SetRenderState(d3d::kRsSlopeScaleDepthBias, d3d::FloatBits(slopeBias));
  return kOk;
}

void OpenGLRenderer::SetViewport(const Vector2& origin, const Vector2& size) {
  Renderer::SetViewport(origin, size);
  if (!device_) return;
  d3d::Viewport viewport;
  viewport.x = static_cast<uint32_t>(std::max(0.0f, origin.x));
  viewport.y = static_cast<uint32_t>(std::max(0.0f, origin.y));
  viewport.width = static_cast<uint32_t>(std::max(0.0f, size.x));
  viewport.height = static_cast<uint32_t>(std::max(0.0f, size.y));
  device_->SetViewport(viewport);
}

void OpenGLRenderer::SetGamma(int32_t gamma) {
  if (!device_) return;
  uint16_t ramp[3][256];
  BuildGammaRamp(gamma, ramp[0]);
  std::memcpy(ramp[1], ramp[0], sizeof ramp[0]);
  std::memcpy(ramp[2], ramp[0], sizeof ramp[0]);
  if (!device_->SetGammaRamp(ramp)) {
    LogWarning(KLX_TEXT("Невозможно установить гамму [%d]."), gamma);
  }
}

// ---------------------------------------------------------------------------
// The module

int CreateOpenGLRenderer(Renderer** out) {
  if (out == nullptr || GetRenderer() != nullptr) return 1;
  // The GL library must be there, as the original checked for its
  // Direct3D library.
  if (!AcquireVideo()) return 1;
  const bool loaded = SDL_GL_LoadLibrary(nullptr) == 0;
  if (loaded) SDL_GL_UnloadLibrary();
  ReleaseVideo();
  if (!loaded) return 1;
  *out = new OpenGLRenderer();
  return 0;
}

}  // namespace klx

KLX_BUILTIN_MODULE(OpenGLRenderer, "OpenGL",
                   ::klx::BuiltinSymbol{"CreateRenderer", reinterpret_cast<::klx::ModuleSymbol>(
                                                              static_cast<::klx::CreateRendererEntry>(
                                                                  &::klx::CreateOpenGLRenderer))})
