// The device's state setters, state-block recording and replay, and the
// render-target bindings.

#include <algorithm>

#include "gl/gl_device.h"

namespace klx::d3d {

namespace {

// Which prepared GL state a render state feeds.
uint32_t DirtyOfRenderState(uint32_t state) {
  switch (state) {
    case kRsTextureFactor:
      return GlDevice::kDirtyStages;
    case kRsLighting:
    case kRsAmbient:
    case kRsSpecularEnable:
    case kRsColorVertex:
    case kRsLocalViewer:
    case kRsNormalizeNormals:
    case kRsDiffuseMaterialSource:
    case kRsSpecularMaterialSource:
    case kRsAmbientMaterialSource:
    case kRsEmissiveMaterialSource:
      return GlDevice::kDirtyFixed;
    case kRsFogEnable:
    case kRsFogColor:
    case kRsFogTableMode:
    case kRsFogVertexMode:
    case kRsFogStart:
    case kRsFogEnd:
    case kRsFogDensity:
      return GlDevice::kDirtyFixed | GlDevice::kDirtyConstants;
    default:
      return GlDevice::kDirtyRaster;
  }
}

uint64_t SerialOf(const GlObjectBase* object) { return object != nullptr ? object->GetSerial() : 0; }
}  // namespace

bool GlDevice::Record(RecordedSetting setting) {
  if (!recording_) return false;
  recordingBlock_->settings.push_back(std::move(setting));
  return true;
}

void GlDevice::SetRenderState(RenderState state, uint32_t value) {
  if (state >= kRenderStateCount) return;
  if (recording_) {
    Record({RecordedSetting::kRenderState, state, 0, value});
    return;
  }
  if (state_.renderStates[state] == value) return;
  state_.renderStates[state] = value;
  dirty_ |= DirtyOfRenderState(state);
}

uint32_t GlDevice::GetRenderState(RenderState state) const {
  return state < kRenderStateCount ? state_.renderStates[state] : 0;
}

void GlDevice::SetTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) {
  if (stage >= kMaxStages || state >= kTextureStageStateCount) return;
  if (recording_) {
    Record({RecordedSetting::kStageState, stage, state, value});
    return;
  }
  if (state_.stageStates[stage][state] == value) return;
  state_.stageStates[stage][state] = value;
  dirty_ |= kDirtyStages | kDirtyArrays;
}

uint32_t GlDevice::GetTextureStageState(uint32_t stage, TextureStageState state) const {
  return stage < kMaxStages && state < kTextureStageStateCount ? state_.stageStates[stage][state] : 0;
}

void GlDevice::SetSamplerState(uint32_t sampler, SamplerState state, uint32_t value) {
  if (sampler >= kMaxStages || state >= kSamplerStateCount) return;
  if (recording_) {
    Record({RecordedSetting::kSamplerState, sampler, state, value});
    return;
  }
  if (state_.samplerStates[sampler][state] == value) return;
  state_.samplerStates[sampler][state] = value;
  dirty_ |= kDirtySamplers;
}

uint32_t GlDevice::GetSamplerState(uint32_t sampler, SamplerState state) const {
  return sampler < kMaxStages && state < kSamplerStateCount ? state_.samplerStates[sampler][state] : 0;
}

void GlDevice::SetTransform(uint32_t state, const Matrix& matrix) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kTransform, state};
    setting.payload = matrix;
    Record(std::move(setting));
    return;
  }
  dirty_ |= kDirtyFixed | kDirtyStages;
  if (state == kTsWorld) {
    state_.world = matrix;
  } else if (state == kTsView) {
    state_.view = matrix;
  } else if (state == kTsProjection) {
    state_.projection = matrix;
  } else if (state >= kTsTexture0 && state < kTsTexture0 + kMaxStages) {
    state_.textureTransforms[state - kTsTexture0] = matrix;
  }
}

void GlDevice::SetLight(uint32_t index, const Light& light) {
  if (index >= kMaxLights) return;
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kLight, index};
    setting.payload = light;
    Record(std::move(setting));
    return;
  }
  state_.lights[index] = light;
  dirty_ |= kDirtyFixed;
}

void GlDevice::LightEnable(uint32_t index, bool enable) {
  if (index >= kMaxLights) return;
  if (recording_) {
    Record({RecordedSetting::kLightEnable, index, 0, enable ? 1u : 0u});
    return;
  }
  if (state_.lightEnabled[index] == enable) return;
  state_.lightEnabled[index] = enable;
  dirty_ |= kDirtyFixed;
}

void GlDevice::SetMaterial(const Material& material) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kMaterial};
    setting.payload = material;
    Record(std::move(setting));
    return;
  }
  state_.material = material;
  dirty_ |= kDirtyFixed;
}

void GlDevice::SetTexture(uint32_t stage, BaseTexture* texture) {
  auto* gl = dynamic_cast<GlTexture*>(texture);
  BindTexture(stage, gl);
}

void GlDevice::BindTexture(uint32_t stage, GlTexture* gl) {
  if (stage >= kMaxStages) return;
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kTexture, stage};
    setting.serial = SerialOf(gl);
    setting.object = gl;
    Record(std::move(setting));
    return;
  }
  if (state_.textures[stage] == gl) return;
  state_.textures[stage] = gl;
  dirty_ |= kDirtyStages | kDirtySamplers | kDirtyProgram;
}

void GlDevice::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
  auto* gl = dynamic_cast<GlVertexBuffer*>(buffer);
  BindStream(stream, gl, offset, stride);
}

void GlDevice::BindStream(uint32_t stream, GlVertexBuffer* gl, uint32_t offset, uint32_t stride) {
  if (stream >= kMaxStreams) return;
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kStream, stream, 0, offset, stride};
    setting.serial = SerialOf(gl);
    setting.object = gl;
    Record(std::move(setting));
    return;
  }
  const StreamBinding binding{gl, offset, stride};
  if (state_.streams[stream].buffer == gl && state_.streams[stream].offset == offset &&
      state_.streams[stream].stride == stride) {
    return;
  }
  state_.streams[stream] = binding;
  dirty_ |= kDirtyArrays;
}

void GlDevice::SetIndices(IndexBuffer* buffer) {
  auto* gl = dynamic_cast<GlIndexBuffer*>(buffer);
  BindIndices(gl);
}

void GlDevice::BindIndices(GlIndexBuffer* gl) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kIndices};
    setting.serial = SerialOf(gl);
    setting.object = gl;
    Record(std::move(setting));
    return;
  }
  state_.indices = gl;
}

void GlDevice::SetVertexDeclaration(VertexDeclaration* declaration) {
  auto* gl = dynamic_cast<GlVertexDeclaration*>(declaration);
  BindDeclaration(gl);
}

void GlDevice::BindDeclaration(GlVertexDeclaration* gl) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kDeclaration};
    setting.serial = SerialOf(gl);
    setting.object = gl;
    Record(std::move(setting));
    return;
  }
  if (state_.declaration == gl) return;
  state_.declaration = gl;
  dirty_ |= kDirtyArrays | kDirtyFixed | kDirtyStages;
}

void GlDevice::SetVertexShader(Shader* shader) {
  auto* gl = dynamic_cast<GlShader*>(shader);
  if (gl != nullptr && gl->GetKind() != kVertexShader) gl = nullptr;
  BindVertexShader(gl);
}

void GlDevice::BindVertexShader(GlShader* gl) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kVertexShader};
    setting.serial = SerialOf(gl);
    setting.object = gl;
    Record(std::move(setting));
    return;
  }
  if (state_.vertexShader == gl) return;
  state_.vertexShader = gl;
  dirty_ = kDirtyAll;
}

void GlDevice::SetPixelShader(Shader* shader) {
  auto* gl = dynamic_cast<GlShader*>(shader);
  if (gl != nullptr && gl->GetKind() != kPixelShader) gl = nullptr;
  BindPixelShader(gl);
}

void GlDevice::BindPixelShader(GlShader* gl) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kPixelShader};
    setting.serial = SerialOf(gl);
    setting.object = gl;
    Record(std::move(setting));
    return;
  }
  if (state_.pixelShader == gl) return;
  state_.pixelShader = gl;
  dirty_ = kDirtyAll;
}

void GlDevice::SetVertexShaderConstants(uint32_t start, const float* data, uint32_t count) {
  if (data == nullptr || start >= kVertexConstantCount) return;
  count = std::min(count, kVertexConstantCount - start);
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kVertexConstants, start, count};
    setting.payload = std::vector<float>(data, data + count * 4);
    Record(std::move(setting));
    return;
  }
  std::copy(data, data + count * 4, state_.vertexConstants.begin() + start * 4);
  dirty_ |= kDirtyConstants;
}

void GlDevice::SetPixelShaderConstants(uint32_t start, const float* data, uint32_t count) {
  if (data == nullptr || start >= kPixelConstantCount) return;
  count = std::min(count, kPixelConstantCount - start);
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kPixelConstants, start, count};
    setting.payload = std::vector<float>(data, data + count * 4);
    Record(std::move(setting));
    return;
  }
  std::copy(data, data + count * 4, state_.pixelConstants.begin() + start * 4);
  dirty_ |= kDirtyConstants;
}

void GlDevice::SetViewport(const Viewport& viewport) {
  if (recording_) {
    RecordedSetting setting{RecordedSetting::kViewport};
    setting.payload = viewport;
    Record(std::move(setting));
    return;
  }
  state_.viewport = viewport;
  dirty_ |= kDirtyRaster;
}

// ---------------------------------------------------------------------------
// State blocks

void GlDevice::BeginStateBlock() {
  recordingBlock_ = std::make_unique<GlStateBlock>(this);
  recordingBlock_->deletionsAtRecording = deletions_;
  recording_ = true;
}

std::unique_ptr<StateBlock> GlDevice::EndStateBlock() {
  recording_ = false;
  return std::move(recordingBlock_);
}

void GlDevice::ApplyStateBlock(const StateBlock& block) {
  const auto* recorded = dynamic_cast<const GlStateBlock*>(&block);
  if (recorded == nullptr) return;
  const bool objectsUnchanged = recorded->deletionsAtRecording == deletions_;
  for (const RecordedSetting& setting : recorded->settings) ApplySetting(setting, objectsUnchanged);
}

void GlDevice::ApplySetting(const RecordedSetting& setting, bool objectsUnchanged) {
  // Objects come back as recorded while none has gone since, else by serial
  // number: one deleted since binds nothing.
  GlObjectBase* object = nullptr;
  if (setting.serial != 0) object = objectsUnchanged ? setting.object : FindObject(setting.serial);
  switch (setting.kind) {
    case RecordedSetting::kRenderState:
      SetRenderState(static_cast<RenderState>(setting.index), setting.value);
      break;
    case RecordedSetting::kStageState:
      SetTextureStageState(setting.index, static_cast<TextureStageState>(setting.subIndex), setting.value);
      break;
    case RecordedSetting::kSamplerState:
      SetSamplerState(setting.index, static_cast<SamplerState>(setting.subIndex), setting.value);
      break;
    case RecordedSetting::kTransform:
      SetTransform(setting.index, std::get<Matrix>(setting.payload));
      break;
    case RecordedSetting::kLight:
      SetLight(setting.index, std::get<Light>(setting.payload));
      break;
    case RecordedSetting::kLightEnable:
      LightEnable(setting.index, setting.value != 0);
      break;
    case RecordedSetting::kMaterial:
      SetMaterial(std::get<Material>(setting.payload));
      break;
    case RecordedSetting::kTexture:
      BindTexture(setting.index, static_cast<GlTexture*>(object));
      break;
    case RecordedSetting::kStream:
      BindStream(setting.index, static_cast<GlVertexBuffer*>(object), setting.value, setting.extra);
      break;
    case RecordedSetting::kIndices:
      BindIndices(static_cast<GlIndexBuffer*>(object));
      break;
    case RecordedSetting::kDeclaration:
      BindDeclaration(static_cast<GlVertexDeclaration*>(object));
      break;
    case RecordedSetting::kVertexShader:
      BindVertexShader(static_cast<GlShader*>(object));
      break;
    case RecordedSetting::kPixelShader:
      BindPixelShader(static_cast<GlShader*>(object));
      break;
    case RecordedSetting::kVertexConstants: {
      const auto& data = std::get<std::vector<float>>(setting.payload);
      SetVertexShaderConstants(setting.index, data.data(), setting.subIndex);
      break;
    }
    case RecordedSetting::kPixelConstants: {
      const auto& data = std::get<std::vector<float>>(setting.payload);
      SetPixelShaderConstants(setting.index, data.data(), setting.subIndex);
      break;
    }
    case RecordedSetting::kViewport:
      SetViewport(std::get<Viewport>(setting.payload));
      break;
  }
}

// ---------------------------------------------------------------------------
// Render targets

void GlDevice::BindFramebuffer() {
  const bool backColor = colorTarget_ == nullptr;
  const bool backDepth = depthSurface_ == nullptr && depthTexture_ == nullptr;
  if (backColor && backDepth) {
    glBindFramebuffer(GL_FRAMEBUFFER, backFramebuffer_);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffer_);
  // Colour: a texture (or cube face), or the back buffer when its size
  // agrees with the depth buffer's.
  uint32_t depthWidth = backWidth_, depthHeight = backHeight_;
  if (depthTexture_ != nullptr) {
    depthWidth = depthTexture_->GetWidth();
    depthHeight = depthTexture_->GetHeight();
  } else if (depthSurface_ != nullptr) {
    depthWidth = depthSurface_->GetWidth();
    depthHeight = depthSurface_->GetHeight();
  }
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  bool hasColor = true;
  if (colorTarget_ != nullptr) {
    const GLenum image = colorTarget_->GetKind() == kTextureCube
                             ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + colorTargetFace_
                             : GL_TEXTURE_2D;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, image, colorTarget_->GetName(), 0);
  } else if (depthWidth == backWidth_ && depthHeight == backHeight_ && resolveFramebuffer_ == 0) {
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, backColor_);
  } else {
    hasColor = false;
  }
  glDrawBuffer(hasColor ? GL_COLOR_ATTACHMENT0 : GL_NONE);
  glReadBuffer(hasColor ? GL_COLOR_ATTACHMENT0 : GL_NONE);
  // Depth: a depth texture, a surface of its own, or the back buffer's.
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
  if (depthTexture_ != nullptr) {
    const bool stencil = depthTexture_->GetFormat() == kFmtD24S8;
    glFramebufferTexture2D(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                           GL_TEXTURE_2D, depthTexture_->GetName(), 0);
  } else if (depthSurface_ != nullptr) {
    glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                              depthSurface_->HasStencil() ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, depthSurface_->GetName());
  } else if (backDepth_ != 0 && resolveFramebuffer_ == 0) {
    glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                              settings_.depthStencilFormat == kFmtD24S8 ? GL_DEPTH_STENCIL_ATTACHMENT
                                                                        : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, backDepth_);
  }
}

bool GlDevice::SetRenderTarget(BaseTexture* target, uint32_t face) {
  GlTexture* texture = nullptr;
  if (target != nullptr) {
    texture = dynamic_cast<GlTexture*>(target);
    if (texture == nullptr || (texture->GetUsage() & kUsageRenderTarget) == 0) return false;
    if (texture->GetKind() == kTextureCube ? face > 5 : face != 0) return false;
  }
  colorTarget_ = texture;
  colorTargetFace_ = face;
  targetWidth_ = texture != nullptr ? texture->GetWidth() : backWidth_;
  targetHeight_ = texture != nullptr ? texture->GetHeight() : backHeight_;
  BindFramebuffer();
  // As in Direct3D, a new render target gets a viewport over all of it.
  state_.viewport = Viewport{0, 0, targetWidth_, targetHeight_, 0.0f, 1.0f};
  dirty_ = kDirtyAll;  // the projection's correction depends on the target's size
  return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

bool GlDevice::SetDepthStencil(DepthStencilSurface* surface) {
  depthSurface_ = dynamic_cast<GlDepthStencilSurface*>(surface);
  depthTexture_ = nullptr;
  BindFramebuffer();
  dirty_ |= kDirtyRaster;
  return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

bool GlDevice::SetDepthStencilTexture(BaseTexture* depthTexture) {
  auto* texture = dynamic_cast<GlTexture*>(depthTexture);
  if (depthTexture != nullptr &&
      (texture == nullptr || (texture->GetUsage() & kUsageDepthStencil) == 0 ||
       texture->GetKind() != kTexture2D)) {
    return false;
  }
  depthTexture_ = texture;
  depthSurface_ = nullptr;
  BindFramebuffer();
  dirty_ |= kDirtyRaster;
  return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

}  // namespace klx::d3d
