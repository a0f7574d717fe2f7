#include "gl/gl_device.h"

#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include "platform/displays.h"
#include "gl/gl_translate.h"
#include "gl/mip_chain.h"

namespace klx::d3d {

uint32_t FloatBits(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float BitsFloat(uint32_t bits) {
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

namespace {

SDL_Window* g_gammaWindow = nullptr;
uint16_t g_originalGamma[3][256];

// Last words of a crashing process: the display's own ramp goes back (not
// a call meant for signal handlers, but the process ends either way), then
// the signal takes its default course.
void RestoreGammaAndDie(int signal) {
  if (g_gammaWindow != nullptr) {
    SDL_SetWindowGammaRamp(g_gammaWindow, g_originalGamma[0], g_originalGamma[1], g_originalGamma[2]);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void ProtectGammaFromCrashes(SDL_Window* window, const uint16_t (*original)[256]) {
  static bool installed = false;
  g_gammaWindow = window;
  if (window == nullptr) return;
  std::memcpy(g_originalGamma, original, sizeof g_originalGamma);
  if (installed) return;
  installed = true;
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    struct sigaction action {};
    action.sa_handler = &RestoreGammaAndDie;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(signal, &action, nullptr);
  }
}

// ---------------------------------------------------------------------------
// Creation

std::unique_ptr<Device> CreateGlDevice(SDL_Window* window, const DeviceSettings& settings,
                                       std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (window == nullptr) {
    *error = "no window";
    return nullptr;
  }
  KeepGraphicsLibrariesLoaded();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    *error = std::string("cannot create a GL context: ") + SDL_GetError();
    return nullptr;
  }
  SDL_GL_MakeCurrent(window, context);
  // Presents wait for the display's refresh where the driver can; the
  // frame loop paces itself where it cannot.
  SDL_GL_SetSwapInterval(1);
  auto device = std::make_unique<GlDevice>(window, context, settings);
  if (!device->Initialize(error)) return nullptr;
  return device;
}

GlDevice::GlDevice(SDL_Window* window, SDL_GLContext context, const DeviceSettings& settings)
    : window_(window), context_(context), settings_(settings) {}

GlDevice::~GlDevice() {
  // Objects still held elsewhere lose their device; deleting them later
  // frees only their memory.
  for (auto& [serial, object] : objects_) object->Orphan();
  objects_.clear();
  serials_.clear();
  SDL_GL_MakeCurrent(window_, context_);
  if (gammaChanged_) {
    // The display gets back the ramp it had before us.
    SDL_SetWindowGammaRamp(window_, originalGamma_[0], originalGamma_[1], originalGamma_[2]);
    ProtectGammaFromCrashes(nullptr, nullptr);
  }
  programs_.Clear();
  glDeleteSamplers(static_cast<GLsizei>(kMaxStages), samplers_);
  glDeleteTextures(1, &whiteTexture_);
  glDeleteFramebuffers(1, &backFramebuffer_);
  glDeleteFramebuffers(1, &targetFramebuffer_);
  glDeleteFramebuffers(1, &resolveFramebuffer_);
  glDeleteRenderbuffers(1, &backColor_);
  glDeleteRenderbuffers(1, &backDepth_);
  glDeleteRenderbuffers(1, &resolveColor_);
  SDL_GL_DeleteContext(context_);
}

bool GlDevice::Initialize(std::string* error) {
  if (epoxy_gl_version() < 30) {
    *error = "OpenGL 3.0 or later (compatibility profile) is needed";
    return false;
  }
  description_ = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  driver_ = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  // A software rasterizer pays for a blend of two mip levels with nearly
  // twice the texture work of one level: there the nearer level is taken,
  // which holds the frame rate at a small price (a step between levels in
  // the distance). Hardware blends them at no cost.
  blendMipLevels_ = !IsSoftwareRasterizer(description_);

  int drawableWidth = 0, drawableHeight = 0;
  SDL_GL_GetDrawableSize(window_, &drawableWidth, &drawableHeight);
  backWidth_ = settings_.width != 0 ? settings_.width : static_cast<uint32_t>(std::max(1, drawableWidth));
  backHeight_ = settings_.height != 0 ? settings_.height : static_cast<uint32_t>(std::max(1, drawableHeight));
  const GLsizei samples = settings_.samples > 1 ? static_cast<GLsizei>(settings_.samples) : 0;

  // The back buffer and its depth-stencil buffer.
  glGenRenderbuffers(1, &backColor_);
  glBindRenderbuffer(GL_RENDERBUFFER, backColor_);
  const GLenum colorFormat = settings_.backBufferFormat == kFmtA8R8G8B8 ? GL_RGBA8 : GL_RGB8;
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, colorFormat,
                                   static_cast<GLsizei>(backWidth_), static_cast<GLsizei>(backHeight_));
  glGenFramebuffers(1, &backFramebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, backFramebuffer_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, backColor_);
  if (settings_.depthStencilFormat != kFmtUnknown) {
    GlFormat depth;
    if (!DescribeFormat(settings_.depthStencilFormat, &depth) || !depth.depth) {
      *error = "unknown depth-stencil format";
      return false;
    }
    glGenRenderbuffers(1, &backDepth_);
    glBindRenderbuffer(GL_RENDERBUFFER, backDepth_);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, depth.internalFormat,
                                     static_cast<GLsizei>(backWidth_), static_cast<GLsizei>(backHeight_));
    const bool stencil = settings_.depthStencilFormat == kFmtD24S8;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, backDepth_);
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    *error = "the back buffer cannot be made with these formats";
    return false;
  }
  if (samples > 0) {
    glGenRenderbuffers(1, &resolveColor_);
    glBindRenderbuffer(GL_RENDERBUFFER, resolveColor_);
    glRenderbufferStorage(GL_RENDERBUFFER, colorFormat, static_cast<GLsizei>(backWidth_),
                          static_cast<GLsizei>(backHeight_));
    glGenFramebuffers(1, &resolveFramebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, resolveFramebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveColor_);
  }
  glGenFramebuffers(1, &targetFramebuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  targetWidth_ = backWidth_;
  targetHeight_ = backHeight_;
  BindFramebuffer();

  glGenSamplers(static_cast<GLsizei>(kMaxStages), samplers_);
  const uint32_t white = 0xFFFFFFFFu;
  glGenTextures(1, &whiteTexture_);
  glBindTexture(GL_TEXTURE_2D, whiteTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, 0);

  // What the device can do.
  GLint value = 0;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS, &value);
  caps_.maxSimultaneousTextures = std::min<uint32_t>(static_cast<uint32_t>(value), kMaxStages);
  glGetIntegerv(GL_MAX_LIGHTS, &value);
  caps_.maxActiveLights = std::min<uint32_t>(static_cast<uint32_t>(value), kMaxLights);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
  caps_.maxTextureSize = static_cast<uint32_t>(value);
  GLfloat pointSizes[2] = {1, 1};
  glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, pointSizes);
  caps_.maxPointSize = pointSizes[1];
  caps_.perVertexPointSize = true;
  caps_.volumeTextures = true;
  caps_.cubeTextures = true;
  caps_.projectedTextures = true;
  caps_.occlusionQueries = true;
  caps_.depthTextures = true;
  caps_.autoGenerateMipMaps = true;
  caps_.maxVertexIndex = 0xFFFFFF;
  caps_.vertexShaderVersion = 0x0200;
  caps_.pixelShaderVersion = 0x0200;
  {
    // Float render targets: a 1x1 half-float texture must make a complete
    // framebuffer.
    GLuint probe = 0;
    glGenTextures(1, &probe);
    glBindTexture(GL_TEXTURE_2D, probe);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, 1, 1, 0, GL_RGBA, GL_HALF_FLOAT, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, probe, 0);
    caps_.floatRenderTargets = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &probe);
    BindFramebuffer();
  }

  // Fixed GL state that stands for Direct3D conventions: a clockwise
  // triangle on the Direct3D screen winds counter-clockwise in the
  // flipped framebuffer; lighting is done in the Direct3D way (separate
  // specular, local viewer); point sprites count t from the top.
  glFrontFace(GL_CCW);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
  glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  combine3_ = epoxy_has_gl_extension("GL_ATI_texture_env_combine3");
  SetDefaultStates();
  if (glGetError() != GL_NO_ERROR) {
    *error = "OpenGL reported an error while the device was set up";
    return false;
  }
  return true;
}

void GlDevice::SetDefaultStates() {
  auto& rs = state_.renderStates;
  rs.fill(0);
  rs[kRsZEnable] = settings_.depthStencilFormat != kFmtUnknown ? 1 : 0;
  rs[kRsFillMode] = kFillSolid;
  rs[kRsShadeMode] = kShadeGouraud;
  rs[kRsZWriteEnable] = 1;
  rs[kRsSrcBlend] = kBlendOne;
  rs[kRsDestBlend] = kBlendZero;
  rs[kRsCullMode] = kCullCcw;
  rs[kRsZFunc] = kCmpLessEqual;
  rs[kRsAlphaFunc] = kCmpAlways;
  rs[kRsFogEnd] = FloatBits(1.0f);
  rs[kRsFogDensity] = FloatBits(1.0f);
  rs[kRsStencilFail] = kStencilKeep;
  rs[kRsStencilZFail] = kStencilKeep;
  rs[kRsStencilPass] = kStencilKeep;
  rs[kRsStencilFunc] = kCmpAlways;
  rs[kRsStencilMask] = 0xFFFFFFFFu;
  rs[kRsStencilWriteMask] = 0xFFFFFFFFu;
  rs[kRsTextureFactor] = 0xFFFFFFFFu;
  rs[kRsLighting] = 1;
  rs[kRsColorVertex] = 1;
  rs[kRsLocalViewer] = 1;
  rs[kRsDiffuseMaterialSource] = kMcsColor1;
  rs[kRsSpecularMaterialSource] = kMcsColor2;
  rs[kRsPointSize] = FloatBits(1.0f);
  rs[kRsPointSizeMin] = FloatBits(1.0f);
  rs[kRsPointScaleA] = FloatBits(1.0f);
  rs[kRsPointSizeMax] = FloatBits(caps_.maxPointSize);
  rs[kRsColorWriteEnable] = 0xF;
  rs[kRsBlendOp] = kBlendOpAdd;
  rs[kRsCcwStencilFail] = kStencilKeep;
  rs[kRsCcwStencilZFail] = kStencilKeep;
  rs[kRsCcwStencilPass] = kStencilKeep;
  rs[kRsCcwStencilFunc] = kCmpAlways;
  rs[kRsSrcBlendAlpha] = kBlendOne;
  rs[kRsDestBlendAlpha] = kBlendZero;
  rs[kRsBlendOpAlpha] = kBlendOpAdd;
  for (uint32_t stage = 0; stage < kMaxStages; ++stage) {
    auto& ts = state_.stageStates[stage];
    ts.fill(0);
    ts[kTssColorOp] = stage == 0 ? kTopModulate : kTopDisable;
    ts[kTssColorArg1] = kTaTexture;
    ts[kTssColorArg2] = kTaCurrent;
    ts[kTssAlphaOp] = stage == 0 ? kTopSelectArg1 : kTopDisable;
    ts[kTssAlphaArg1] = kTaTexture;
    ts[kTssAlphaArg2] = kTaCurrent;
    ts[kTssTexCoordIndex] = stage;
    ts[kTssColorArg0] = kTaCurrent;
    ts[kTssAlphaArg0] = kTaCurrent;
    ts[kTssResultArg] = kTaCurrent;
    auto& ss = state_.samplerStates[stage];
    ss.fill(0);
    ss[kSampAddressU] = kTaddressWrap;
    ss[kSampAddressV] = kTaddressWrap;
    ss[kSampAddressW] = kTaddressWrap;
    ss[kSampMagFilter] = kTexfPoint;
    ss[kSampMinFilter] = kTexfPoint;
    ss[kSampMipFilter] = kTexfNone;
    ss[kSampMaxAnisotropy] = 1;
  }
  state_.viewport = Viewport{0, 0, targetWidth_, targetHeight_, 0.0f, 1.0f};
}

// ---------------------------------------------------------------------------
// Object bookkeeping

uint64_t GlDevice::RegisterObject(GlObjectBase* object) {
  const uint64_t serial = nextSerial_++;
  objects_[serial] = object;
  serials_[object] = serial;
  return serial;
}

void GlDevice::ForgetObject(GlObjectBase* object) {
  auto found = serials_.find(object);
  const bool known = found != serials_.end();
  if (known) {
    objects_.erase(found->second);
    serials_.erase(found);
    ++deletions_;
  }
  // Whatever the state still names goes unbound. The pointers are compared
  // as the shared base, which needs no look at the object being destroyed.
  for (auto& texture : state_.textures) {
    if (texture != nullptr && static_cast<GlObjectBase*>(texture) == object) texture = nullptr;
  }
  for (auto& stream : state_.streams) {
    if (stream.buffer != nullptr && static_cast<GlObjectBase*>(stream.buffer) == object) stream = {};
  }
  if (state_.indices != nullptr && static_cast<GlObjectBase*>(state_.indices) == object) state_.indices = nullptr;
  if (state_.declaration != nullptr && static_cast<GlObjectBase*>(state_.declaration) == object) {
    state_.declaration = nullptr;
  }
  if (colorTarget_ != nullptr && static_cast<GlObjectBase*>(colorTarget_) == object) {
    colorTarget_ = nullptr;
    targetWidth_ = backWidth_;
    targetHeight_ = backHeight_;
  }
  if (depthTexture_ != nullptr && static_cast<GlObjectBase*>(depthTexture_) == object) depthTexture_ = nullptr;
  if (depthSurface_ != nullptr && static_cast<GlObjectBase*>(depthSurface_) == object) depthSurface_ = nullptr;
  const bool vertexShader = state_.vertexShader != nullptr && static_cast<GlObjectBase*>(state_.vertexShader) == object;
  const bool pixelShader = state_.pixelShader != nullptr && static_cast<GlObjectBase*>(state_.pixelShader) == object;
  if (vertexShader) state_.vertexShader = nullptr;
  if (pixelShader) state_.pixelShader = nullptr;
  dirty_ = kDirtyAll;
}

uint64_t GlDevice::AcquireShaderSource(const std::string& text) {
  ShaderSource& source = shaderSources_[text];
  if (source.id == 0) source.id = nextShaderSource_++;
  ++source.users;
  return source.id;
}

void GlDevice::ReleaseShaderSource(uint64_t id) {
  for (auto it = shaderSources_.begin(); it != shaderSources_.end(); ++it) {
    if (it->second.id != id) continue;
    if (--it->second.users <= 0) {
      programs_.Forget(id);
      shaderSources_.erase(it);
    }
    return;
  }
}

GlObjectBase* GlDevice::FindObject(uint64_t serial) const {
  auto found = objects_.find(serial);
  return found != objects_.end() ? found->second : nullptr;
}

// ---------------------------------------------------------------------------
// Objects

std::unique_ptr<VertexBuffer> GlDevice::CreateVertexBuffer(uint32_t size) {
  if (size == 0) return nullptr;
  return std::make_unique<GlVertexBuffer>(this, size);
}

std::unique_ptr<IndexBuffer> GlDevice::CreateIndexBuffer(uint32_t size, Format format) {
  if (size == 0 || (format != kFmtIndex16 && format != kFmtIndex32)) return nullptr;
  return std::make_unique<GlIndexBuffer>(this, size, format);
}

std::unique_ptr<BaseTexture> GlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels,
                                                     uint32_t usage, Format format) {
  if (width == 0 || height == 0 || width > caps_.maxTextureSize || height > caps_.maxTextureSize) return nullptr;
  auto texture = std::make_unique<GlTexture>(this, kTexture2D, width, height, 1, levels, usage, format);
  if (!texture->IsValid()) return nullptr;
  return texture;
}

std::unique_ptr<BaseTexture> GlDevice::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                         Format format) {
  if (edge == 0 || edge > caps_.maxTextureSize) return nullptr;
  auto texture = std::make_unique<GlTexture>(this, kTextureCube, edge, edge, 1, levels, usage, format);
  if (!texture->IsValid()) return nullptr;
  return texture;
}

std::unique_ptr<BaseTexture> GlDevice::CreateVolumeTexture(uint32_t width, uint32_t height,
                                                           uint32_t depth, uint32_t levels, Format format) {
  if (width == 0 || height == 0 || depth == 0 || width > 2048 || height > 2048 || depth > 2048) return nullptr;
  auto texture = std::make_unique<GlTexture>(this, kTextureVolume, width, height, depth, levels,
                                             kUsageNone, format);
  if (!texture->IsValid()) return nullptr;
  return texture;
}

std::unique_ptr<DepthStencilSurface> GlDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height,
                                                                         Format format) {
  if (width == 0 || height == 0) return nullptr;
  auto surface = std::make_unique<GlDepthStencilSurface>(this, width, height, format);
  if (surface->GetName() == 0) return nullptr;
  return surface;
}

std::unique_ptr<VertexDeclaration> GlDevice::CreateVertexDeclaration(
    const std::vector<VertexElement>& elements) {
  for (const VertexElement& element : elements) {
    if (element.type > kDeclUByte4 || element.stream >= kMaxStreams) return nullptr;
  }
  return std::make_unique<GlVertexDeclaration>(this, elements);
}

std::unique_ptr<OcclusionQuery> GlDevice::CreateOcclusionQuery() {
  return std::make_unique<GlOcclusionQuery>(this);
}

}  // namespace klx::d3d
