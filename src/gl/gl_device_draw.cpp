// Frames and draws: clearing, turning the Direct3D state into GL state at
// each draw, vertex arrays from declarations, presenting and reading back.

#include <algorithm>
#include <cmath>

#include "gl/gl_device.h"
#include "gl/gl_translate.h"
#include "shader_asm/shader_glsl.h"
#include "shader_asm/shader_program.h"

namespace klx::d3d {
namespace {

void Enable(GLenum capability, bool on) {
  if (on) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
}

void ColorFromArgb(uint32_t argb, float out[4]) {
  out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
  out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
  out[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

void ToArray(const ColorValue& color, float out[4]) {
  out[0] = color.r;
  out[1] = color.g;
  out[2] = color.b;
  out[3] = color.a;
}

GLenum GlFogMode(uint32_t mode) {
  switch (mode) {
    case kFogExp: return GL_EXP;
    case kFogExp2: return GL_EXP2;
    default: return GL_LINEAR;
  }
}

// Components and GL type of a declaration type.
void ElementFormat(uint8_t type, GLint* size, GLenum* glType, bool* normalized) {
  *normalized = false;
  switch (type) {
    case kDeclFloat1: *size = 1; *glType = GL_FLOAT; break;
    case kDeclFloat2: *size = 2; *glType = GL_FLOAT; break;
    case kDeclFloat3: *size = 3; *glType = GL_FLOAT; break;
    case kDeclColor: *size = GL_BGRA; *glType = GL_UNSIGNED_BYTE; *normalized = true; break;
    case kDeclUByte4: *size = 4; *glType = GL_UNSIGNED_BYTE; break;
    default: *size = 4; *glType = GL_FLOAT; break;
  }
}

uint32_t InputCountOf(uint8_t type) {
  switch (type) {
    case kDeclFloat1: return 1;
    case kDeclFloat2: return 2;
    case kDeclFloat3: return 3;
    default: return 4;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Frames

void GlDevice::Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) {
  if (recording_) return;
  GLbitfield mask = 0;
  if ((flags & kClearTarget) != 0) {
    float rgba[4];
    ColorFromArgb(color, rgba);
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if ((flags & kClearZBuffer) != 0) {
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if ((flags & kClearStencil) != 0) {
    glClearStencil(static_cast<GLint>(stencil));
    glStencilMask(0xFFFFFFFFu);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // Direct3D clears the viewport's rectangle.
  const Viewport& v = state_.viewport;
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(v.x), static_cast<GLint>(v.y), static_cast<GLsizei>(v.width),
            static_cast<GLsizei>(v.height));
  glClear(mask);
  glDisable(GL_SCISSOR_TEST);
  dirty_ |= kDirtyRaster;  // the masks changed
}

bool GlDevice::BeginScene() { return !recording_; }

void GlDevice::EndScene() {}

bool GlDevice::IsUsable() {
  if (lostFrames_ > 0) {
    --lostFrames_;
    return false;
  }
  return true;
}

void GlDevice::Present() {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window_, &width, &height);
  GLuint source = backFramebuffer_;
  if (resolveFramebuffer_ != 0) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backFramebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
    const GLint w = static_cast<GLint>(backWidth_), h = static_cast<GLint>(backHeight_);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    source = resolveFramebuffer_;
  }
  // Rows are kept top first: the copy turns them the right way up.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDrawBuffer(GL_BACK);
  glBlitFramebuffer(0, 0, static_cast<GLint>(backWidth_), static_cast<GLint>(backHeight_), 0, height,
                    width, 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  SDL_GL_SwapWindow(window_);
  BindFramebuffer();
}

bool GlDevice::SetGammaRamp(const uint16_t ramp[3][256]) {
  if (!gammaChanged_ &&
      SDL_GetWindowGammaRamp(window_, originalGamma_[0], originalGamma_[1], originalGamma_[2]) != 0) {
    return false;  // a display without a ramp
  }
  if (SDL_SetWindowGammaRamp(window_, ramp[0], ramp[1], ramp[2]) != 0) return false;
  if (!gammaChanged_) {
    gammaChanged_ = true;
    ProtectGammaFromCrashes(window_, originalGamma_);
  }
  return true;
}

bool GlDevice::ReadPixels(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                          std::vector<uint8_t>* rgba) {
  if (rgba == nullptr || width == 0 || height == 0 || x >= targetWidth_ || y >= targetHeight_ ||
      width > targetWidth_ - x || height > targetHeight_ - y) {
    return false;
  }
  glFinish();
  rgba->assign(static_cast<size_t>(width) * height * 4, 0);
  if (colorTarget_ == nullptr && resolveFramebuffer_ != 0) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backFramebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
    const GLint w = static_cast<GLint>(backWidth_), h = static_cast<GLint>(backHeight_);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer_);
  }
  glReadPixels(static_cast<GLint>(x), static_cast<GLint>(y), static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
  BindFramebuffer();
  return glGetError() == GL_NO_ERROR;
}

std::unique_ptr<Shader> GlDevice::CreateShader(ShaderKind kind, const std::string& text, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  ShaderProgram program;
  if (!ParseShaderAssembly(text, &program, error)) return nullptr;
  if (program.pixel != (kind == kPixelShader)) {
    *error = kind == kPixelShader ? "a vertex shader given as a pixel shader" : "a pixel shader given as a vertex shader";
    return nullptr;
  }
  return std::make_unique<GlShader>(this, std::move(program), AcquireShaderSource(text));
}

const GlLinkedProgram* GlDevice::UseShaders() {
  GlShader* vertex = state_.vertexShader;
  GlShader* pixel = state_.pixelShader;
  if (vertex == nullptr && pixel == nullptr) {
    glUseProgram(0);
    return nullptr;
  }
  // What each unit samples decides the sampler types of ps 1.x (and the
  // comparison of depth textures for both versions).
  GlslOptions options;
  for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
    const GlTexture* texture = state_.textures[unit];
    if (texture == nullptr) continue;
    options.samplers[unit] = texture->GetKind() == kTextureCube     ? SamplerKind::kCube
                             : texture->GetKind() == kTextureVolume ? SamplerKind::kVolume
                                                                    : SamplerKind::k2D;
    if ((texture->GetUsage() & kUsageDepthStencil) != 0) options.shadowSamplers |= 1u << unit;
  }
  std::string error;
  const GlLinkedProgram* linked = programs_.Get(vertex, pixel, options, &error);
  if (linked == nullptr) {
    if (!error.empty()) lastProgramError_ = error;
    glUseProgram(0);
    return nullptr;
  }
  glUseProgram(linked->name);
  const auto& rs = state_.renderStates;
  if (vertex != nullptr) {
    glUniform4fv(linked->vertexConstants, static_cast<GLsizei>(kVertexConstantCount), state_.vertexConstants.data());
    glUniform4f(linked->posFixup, 1.0f / static_cast<float>(targetWidth_), 1.0f / static_cast<float>(targetHeight_),
                0.0f, 0.0f);
    glUniform1f(linked->fogFromDepth, rs[kRsFogTableMode] != kFogNone ? 1.0f : 0.0f);
  }
  if (pixel != nullptr) {
    glUniform4fv(linked->pixelConstants, static_cast<GLsizei>(kPixelConstantCount), state_.pixelConstants.data());
    for (uint32_t i = 0; i < kMaxSamplers; ++i) {
      if (linked->samplers[i] >= 0) glUniform1i(linked->samplers[i], static_cast<GLint>(i));
    }
    // Fog after the pixel shader: the table mode by depth, else the vertex
    // mode, where a vertex shader's oFog is the factor itself.
    float fog[4] = {BitsFloat(rs[kRsFogStart]), BitsFloat(rs[kRsFogEnd]), BitsFloat(rs[kRsFogDensity]), 0.0f};
    const uint32_t mode = rs[kRsFogTableMode] != kFogNone ? rs[kRsFogTableMode] : rs[kRsFogVertexMode];
    if (rs[kRsFogEnable] != 0) {
      if (rs[kRsFogTableMode] == kFogNone && vertex != nullptr) {
        fog[0] = 0.0f;
        fog[1] = 1.0f;
        fog[3] = 3.0f;
      } else {
        fog[3] = mode == kFogExp ? 1.0f : mode == kFogExp2 ? 2.0f : mode == kFogLinear ? 3.0f : 0.0f;
      }
    }
    glUniform4fv(linked->fog, 1, fog);
    float color[4];
    ColorFromArgb(rs[kRsFogColor], color);
    glUniform4fv(linked->fogColor, 1, color);
  }
  Enable(GL_VERTEX_PROGRAM_POINT_SIZE, linked->pointSize);
  return linked;
}

void GlDevice::BindShaderAttributes() {
  for (GLuint location = 0; location < 16; ++location) glDisableVertexAttribArray(location);
  for (const VertexElement& element : state_.declaration->GetElements()) {
    const int location = ShaderAttributeLocation(element.usage, element.usageIndex);
    const StreamBinding& stream = state_.streams[element.stream];
    if (location < 0 || stream.buffer == nullptr) continue;
    GLint size = 0;
    GLenum type = GL_FLOAT;
    bool normalized = false;
    ElementFormat(element.type, &size, &type, &normalized);
    glBindBuffer(GL_ARRAY_BUFFER, stream.buffer->GetName());
    glVertexAttribPointer(static_cast<GLuint>(location), size, type, normalized ? GL_TRUE : GL_FALSE,
                          static_cast<GLsizei>(stream.stride),
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(stream.offset + element.offset)));
    glEnableVertexAttribArray(static_cast<GLuint>(location));
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

// ---------------------------------------------------------------------------
// Draws

void GlDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  if (recording_ || !PrepareDraw()) return;
  DrawArraysOrElements(type, primitiveCount, false, 0, startVertex);
}

void GlDevice::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t, uint32_t,
                                    uint32_t startIndex, uint32_t primitiveCount) {
  if (recording_ || state_.indices == nullptr || !PrepareDraw()) return;
  DrawArraysOrElements(type, primitiveCount, true, baseVertex, startIndex);
}

void GlDevice::DrawArraysOrElements(PrimitiveType type, uint32_t primitiveCount, bool indexed,
                                    int32_t baseVertex, uint32_t start) {
  const uint32_t count = VertexCountOf(type, primitiveCount);
  if (count == 0) return;
  const GLenum mode = GlPrimitive(type);
  // The point-sprite state is for points only, as in Direct3D; GL drivers
  // may replace the coordinates of other primitives too (Mesa gives every
  // triangle one texel), so it is off while they are drawn.
  const bool spriteState = state_.renderStates[kRsPointSpriteEnable] != 0;
  if (spriteState && mode != GL_POINTS) glDisable(GL_POINT_SPRITE);
  DrawNow(mode, count, indexed, baseVertex, start);
  if (spriteState && mode != GL_POINTS) glEnable(GL_POINT_SPRITE);
}

void GlDevice::DrawNow(GLenum mode, uint32_t count, bool indexed, int32_t baseVertex, uint32_t start) {
  if (!indexed) {
    glDrawArrays(mode, static_cast<GLint>(start), static_cast<GLsizei>(count));
    return;
  }
  const bool wide = state_.indices->GetFormat() == kFmtIndex32;
  const uint32_t indexSize = wide ? 4 : 2;
  if (static_cast<uint64_t>(start + count) * indexSize > state_.indices->GetSize()) return;  // past the end
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, state_.indices->GetName());
  glDrawElementsBaseVertex(mode, static_cast<GLsizei>(count), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(static_cast<uintptr_t>(start) * indexSize),
                           baseVertex);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

bool GlDevice::PrepareDraw() {
  if (state_.declaration == nullptr) return false;
  // Only what changed since the last draw is sent to GL again: a replayed
  // state block that sets the same values costs nothing here.
  const uint32_t dirty = dirty_;
  dirty_ = 0;
  if ((dirty & kDirtyRaster) != 0) ApplyRasterState();
  if ((dirty & kDirtyFixed) != 0) ApplyFixedFunction();
  if ((dirty & kDirtyStages) != 0) ApplyTextureStages();
  if ((dirty & kDirtySamplers) != 0) ApplySamplers();
  if ((dirty & (kDirtyProgram | kDirtyConstants | kDirtyStages | kDirtyRaster)) != 0 ||
      (program_ == nullptr && (state_.vertexShader != nullptr || state_.pixelShader != nullptr))) {
    program_ = UseShaders();
  }
  if ((dirty & kDirtyArrays) == 0) return true;
  if (program_ != nullptr && state_.vertexShader != nullptr) {
    // Shader inputs come as generic attributes; the fixed arrays stay off.
    DisableFixedArrays();
    BindShaderAttributes();
  } else {
    for (GLuint location = 0; location < 16; ++location) glDisableVertexAttribArray(location);
    BindVertexArrays();
  }
  return true;
}

void GlDevice::ApplyRasterState() {
  const auto& rs = state_.renderStates;
  const Viewport& v = state_.viewport;
  glViewport(static_cast<GLint>(v.x), static_cast<GLint>(v.y), static_cast<GLsizei>(v.width),
             static_cast<GLsizei>(v.height));
  glDepthRange(v.minZ, v.maxZ);

  // Blending.
  Enable(GL_BLEND, rs[kRsAlphaBlendEnable] != 0);
  if (rs[kRsSeparateAlphaBlendEnable] != 0) {
    glBlendFuncSeparate(GlBlendFactor(rs[kRsSrcBlend]), GlBlendFactor(rs[kRsDestBlend]),
                        GlBlendFactor(rs[kRsSrcBlendAlpha]), GlBlendFactor(rs[kRsDestBlendAlpha]));
    glBlendEquationSeparate(GlBlendEquation(rs[kRsBlendOp]), GlBlendEquation(rs[kRsBlendOpAlpha]));
  } else {
    glBlendFunc(GlBlendFactor(rs[kRsSrcBlend]), GlBlendFactor(rs[kRsDestBlend]));
    glBlendEquation(GlBlendEquation(rs[kRsBlendOp]));
  }
  const uint32_t mask = rs[kRsColorWriteEnable];
  glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);

  // Alpha test.
  Enable(GL_ALPHA_TEST, rs[kRsAlphaTestEnable] != 0);
  glAlphaFunc(GlCompare(rs[kRsAlphaFunc]), static_cast<float>(rs[kRsAlphaRef] & 0xFF) / 255.0f);

  // Depth.
  Enable(GL_DEPTH_TEST, rs[kRsZEnable] != 0);
  glDepthMask(rs[kRsZWriteEnable] != 0 ? GL_TRUE : GL_FALSE);
  glDepthFunc(GlCompare(rs[kRsZFunc]));
  const float bias = BitsFloat(rs[kRsDepthBias]);
  const float slope = BitsFloat(rs[kRsSlopeScaleDepthBias]);
  Enable(GL_POLYGON_OFFSET_FILL, bias != 0.0f || slope != 0.0f);
  // Direct3D's bias is in depth units (0..1); GL's in steps of the 24-bit
  // buffer.
  glPolygonOffset(slope, bias * 16777216.0f);

  // Culling: the framebuffer is flipped, so a triangle clockwise on the
  // Direct3D screen is front-facing (counter-clockwise) in GL.
  const uint32_t cull = rs[kRsCullMode];
  Enable(GL_CULL_FACE, cull == kCullCw || cull == kCullCcw);
  glCullFace(cull == kCullCw ? GL_FRONT : GL_BACK);

  // Stencil; with two-sided stencil the counter-clockwise states are GL's
  // back faces.
  Enable(GL_STENCIL_TEST, rs[kRsStencilEnable] != 0);
  const GLint ref = static_cast<GLint>(rs[kRsStencilRef]);
  const GLuint readMask = rs[kRsStencilMask];
  glStencilFuncSeparate(GL_FRONT, GlCompare(rs[kRsStencilFunc]), ref, readMask);
  glStencilOpSeparate(GL_FRONT, GlStencilOp(rs[kRsStencilFail]), GlStencilOp(rs[kRsStencilZFail]),
                      GlStencilOp(rs[kRsStencilPass]));
  if (rs[kRsTwoSidedStencilMode] != 0) {
    glStencilFuncSeparate(GL_BACK, GlCompare(rs[kRsCcwStencilFunc]), ref, readMask);
    glStencilOpSeparate(GL_BACK, GlStencilOp(rs[kRsCcwStencilFail]), GlStencilOp(rs[kRsCcwStencilZFail]),
                        GlStencilOp(rs[kRsCcwStencilPass]));
  } else {
    glStencilFuncSeparate(GL_BACK, GlCompare(rs[kRsStencilFunc]), ref, readMask);
    glStencilOpSeparate(GL_BACK, GlStencilOp(rs[kRsStencilFail]), GlStencilOp(rs[kRsStencilZFail]),
                        GlStencilOp(rs[kRsStencilPass]));
  }
  glStencilMask(rs[kRsStencilWriteMask]);

  // Fill and shading.
  const uint32_t fill = rs[kRsFillMode];
  glPolygonMode(GL_FRONT_AND_BACK, fill == kFillPoint ? GL_POINT : fill == kFillWireframe ? GL_LINE : GL_FILL);
  glShadeModel(rs[kRsShadeMode] == kShadeFlat ? GL_FLAT : GL_SMOOTH);

  // Points: Direct3D scales by the viewport height; GL by its own factors.
  const float pointSize = BitsFloat(rs[kRsPointSize]);
  glPointSize(std::clamp(pointSize, 1.0f, caps_.maxPointSize));
  glPointParameterf(GL_POINT_SIZE_MIN, BitsFloat(rs[kRsPointSizeMin]));
  glPointParameterf(GL_POINT_SIZE_MAX, std::min(BitsFloat(rs[kRsPointSizeMax]), caps_.maxPointSize));
  if (rs[kRsPointScaleEnable] != 0) {
    const float h2 = static_cast<float>(v.height) * static_cast<float>(v.height);
    const float factors[3] = {BitsFloat(rs[kRsPointScaleA]) / h2, BitsFloat(rs[kRsPointScaleB]) / h2,
                              BitsFloat(rs[kRsPointScaleC]) / h2};
    glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, factors);
  } else {
    const float none[3] = {1, 0, 0};
    glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, none);
  }
  const bool sprites = rs[kRsPointSpriteEnable] != 0;
  Enable(GL_POINT_SPRITE, sprites);
  for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, sprites ? GL_TRUE : GL_FALSE);
  }
  glActiveTexture(GL_TEXTURE0);
}

void GlDevice::LoadProjection() {
  const Matrix projection = Multiply(state_.projection, ClipSpaceCorrection(targetWidth_, targetHeight_));
  float m[16];
  ToGl(projection, m);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(m);
}

void GlDevice::ApplyFixedFunction() {
  const auto& rs = state_.renderStates;
  LoadProjection();
  float m[16];
  glMatrixMode(GL_MODELVIEW);

  // Lights are given in world space: GL takes them through the view.
  ToGl(state_.view, m);
  glLoadMatrixf(m);
  const bool lighting = rs[kRsLighting] != 0;
  Enable(GL_LIGHTING, lighting);
  if (lighting) {
    float ambient[4];
    ColorFromArgb(rs[kRsAmbient], ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[kRsLocalViewer] != 0 ? GL_TRUE : GL_FALSE);
    for (uint32_t i = 0; i < std::min(kMaxLights, caps_.maxActiveLights); ++i) {
      const GLenum gl = GL_LIGHT0 + i;
      Enable(gl, state_.lightEnabled[i]);
      if (!state_.lightEnabled[i]) continue;
      const Light& light = state_.lights[i];
      float color[4];
      ToArray(light.diffuse, color);
      glLightfv(gl, GL_DIFFUSE, color);
      ToArray(light.specular, color);
      glLightfv(gl, GL_SPECULAR, color);
      ToArray(light.ambient, color);
      glLightfv(gl, GL_AMBIENT, color);
      if (light.type == kLightDirectional) {
        // GL points at the light; Direct3D gives the way the light travels.
        const float direction[4] = {-light.direction.x, -light.direction.y, -light.direction.z, 0};
        glLightfv(gl, GL_POSITION, direction);
        glLightf(gl, GL_SPOT_CUTOFF, 180.0f);
        glLightf(gl, GL_CONSTANT_ATTENUATION, 1);
        glLightf(gl, GL_LINEAR_ATTENUATION, 0);
        glLightf(gl, GL_QUADRATIC_ATTENUATION, 0);
      } else {
        const float position[4] = {light.position.x, light.position.y, light.position.z, 1};
        glLightfv(gl, GL_POSITION, position);
        glLightf(gl, GL_CONSTANT_ATTENUATION, light.attenuation0);
        glLightf(gl, GL_LINEAR_ATTENUATION, light.attenuation1);
        glLightf(gl, GL_QUADRATIC_ATTENUATION, light.attenuation2);
        if (light.type == kLightSpot) {
          const float direction[3] = {light.direction.x, light.direction.y, light.direction.z};
          glLightfv(gl, GL_SPOT_DIRECTION, direction);
          // GL has a hard cone with a power fall-off: the outer half-angle
          // and the fall-off stand for Direct3D's two cones.
          glLightf(gl, GL_SPOT_CUTOFF, std::min(90.0f, light.phi * 0.5f * 57.29578f));
          glLightf(gl, GL_SPOT_EXPONENT, std::clamp(light.falloff, 0.0f, 128.0f));
        } else {
          glLightf(gl, GL_SPOT_CUTOFF, 180.0f);
        }
      }
    }
    // Material, with the vertex colours standing in where the declaration
    // has them and the sources ask for them.
    const Material& material = state_.material;
    float color[4];
    ToArray(material.diffuse, color);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, color);
    ToArray(material.ambient, color);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, color);
    ToArray(material.emissive, color);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, color);
    if (rs[kRsSpecularEnable] != 0) {
      ToArray(material.specular, color);
    } else {
      color[0] = color[1] = color[2] = color[3] = 0;
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, color);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material.power, 0.0f, 128.0f));
    const bool vertexColor = rs[kRsColorVertex] != 0 && state_.declaration != nullptr &&
                             state_.declaration->HasUsage(kUsageColor, 0);
    const bool diffuseFromVertex = vertexColor && rs[kRsDiffuseMaterialSource] == kMcsColor1;
    const bool ambientFromVertex = vertexColor && rs[kRsAmbientMaterialSource] == kMcsColor1;
    if (diffuseFromVertex || ambientFromVertex) {
      glColorMaterial(GL_FRONT_AND_BACK, diffuseFromVertex && ambientFromVertex ? GL_AMBIENT_AND_DIFFUSE
                                         : diffuseFromVertex                    ? GL_DIFFUSE
                                                                                : GL_AMBIENT);
      glEnable(GL_COLOR_MATERIAL);
    } else {
      glDisable(GL_COLOR_MATERIAL);
    }
  }
  Enable(GL_NORMALIZE, rs[kRsNormalizeNormals] != 0);

  // The vertices go through world then view.
  const Matrix worldView = Multiply(state_.world, state_.view);
  ToGl(worldView, m);
  glLoadMatrixf(m);

  // Fog: the table (per-pixel) mode wins over the vertex mode, as in
  // Direct3D; GL evaluates either per fragment from the eye distance.
  const uint32_t fogMode = rs[kRsFogTableMode] != kFogNone ? rs[kRsFogTableMode] : rs[kRsFogVertexMode];
  const bool fog = rs[kRsFogEnable] != 0 && fogMode != kFogNone;
  Enable(GL_FOG, fog);
  if (fog) {
    float color[4];
    ColorFromArgb(rs[kRsFogColor], color);
    glFogfv(GL_FOG_COLOR, color);
    glFogi(GL_FOG_MODE, static_cast<GLint>(GlFogMode(fogMode)));
    glFogf(GL_FOG_START, BitsFloat(rs[kRsFogStart]));
    glFogf(GL_FOG_END, BitsFloat(rs[kRsFogEnd]));
    glFogf(GL_FOG_DENSITY, BitsFloat(rs[kRsFogDensity]));
    glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
    if (state_.vertexShader != nullptr && rs[kRsFogTableMode] == kFogNone) {
      // A vertex shader's oFog is the fog factor: it arrives as 1 - oFog
      // and a linear ramp over 0..1 gives it back.
      glFogi(GL_FOG_MODE, GL_LINEAR);
      glFogf(GL_FOG_START, 0.0f);
      glFogf(GL_FOG_END, 1.0f);
    }
  }
  // Specular is added after the texture stages only when enabled.
  Enable(GL_COLOR_SUM, lighting && rs[kRsSpecularEnable] != 0);
}

void GlDevice::ApplySamplers() {
  for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
    const auto& ss = state_.samplerStates[unit];
    const GLuint sampler = samplers_[unit];
    const GlTexture* texture = state_.textures[unit];
    const bool mipmapped = texture != nullptr && texture->GetLevelCount() > 1;
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GlAddress(ss[kSampAddressU]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GlAddress(ss[kSampAddressV]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GlAddress(ss[kSampAddressW]));
    float border[4];
    ColorFromArgb(ss[kSampBorderColor], border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GlMagFilter(ss[kSampMagFilter]));
    uint32_t mipFilter = mipmapped ? ss[kSampMipFilter] : kTexfNone;
    if (!blendMipLevels_ && (mipFilter == kTexfLinear || mipFilter == kTexfAnisotropic)) mipFilter = kTexfPoint;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GlMinFilter(ss[kSampMinFilter], mipFilter));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, BitsFloat(ss[kSampMipMapLodBias]));
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[kSampMaxMipLevel]));
    // Depth textures keep their comparison whatever the sampler says.
    if (texture != nullptr && (texture->GetUsage() & kUsageDepthStencil) != 0) {
      glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
      glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    } else {
      glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    }
    glBindSampler(unit, sampler);
  }
}

void GlDevice::DisableFixedArrays() {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
  for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
    glClientActiveTexture(GL_TEXTURE0 + unit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  glClientActiveTexture(GL_TEXTURE0);
}

void GlDevice::BindVertexArrays() {
  const GlVertexDeclaration& declaration = *state_.declaration;
  // Every array off, then on for what the declaration names.
  DisableFixedArrays();
  glColor4f(1, 1, 1, 1);  // vertices without colour are white
  glSecondaryColor3f(0, 0, 0);
  glNormal3f(0, 0, 0);

  auto pointer = [this](const VertexElement& element, GLsizei* stride) -> const void* {
    const StreamBinding& stream = state_.streams[element.stream];
    if (stream.buffer == nullptr) return nullptr;
    glBindBuffer(GL_ARRAY_BUFFER, stream.buffer->GetName());
    *stride = static_cast<GLsizei>(stream.stride);
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(stream.offset + element.offset));
  };
  for (const VertexElement& element : declaration.GetElements()) {
    GLsizei stride = 0;
    GLint size = 0;
    GLenum type = GL_FLOAT;
    bool normalized = false;
    ElementFormat(element.type, &size, &type, &normalized);
    if (element.usage == kUsagePosition && element.usageIndex == 0) {
      const void* offset = pointer(element, &stride);
      if (offset == nullptr && state_.streams[element.stream].buffer == nullptr) continue;
      glVertexPointer(std::max(2, size == GL_BGRA ? 4 : size), type, stride, offset);
      glEnableClientState(GL_VERTEX_ARRAY);
    } else if (element.usage == kUsageNormal && element.usageIndex == 0) {
      const void* offset = pointer(element, &stride);
      if (state_.streams[element.stream].buffer == nullptr) continue;
      glNormalPointer(type, stride, offset);
      glEnableClientState(GL_NORMAL_ARRAY);
    } else if (element.usage == kUsageColor && element.usageIndex == 0) {
      const void* offset = pointer(element, &stride);
      if (state_.streams[element.stream].buffer == nullptr) continue;
      glColorPointer(size, type, stride, offset);
      glEnableClientState(GL_COLOR_ARRAY);
    } else if (element.usage == kUsageColor && element.usageIndex == 1) {
      const void* offset = pointer(element, &stride);
      if (state_.streams[element.stream].buffer == nullptr) continue;
      glSecondaryColorPointer(size == 4 || size == GL_BGRA ? size : 3, type, stride, offset);
      glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
    }
  }
  // Texture coordinates: unit i reads the set its stage's index names.
  for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
    const uint32_t index = state_.stageStates[unit][kTssTexCoordIndex];
    if ((index & 0xFFFF0000u) != 0) continue;  // generated
    for (const VertexElement& element : declaration.GetElements()) {
      if (element.usage != kUsageTexCoord || element.usageIndex != (index & 0xFFFF)) continue;
      GLsizei stride = 0;
      const void* offset = pointer(element, &stride);
      if (state_.streams[element.stream].buffer == nullptr) break;
      GLint size = 0;
      GLenum type = GL_FLOAT;
      bool normalized = false;
      ElementFormat(element.type, &size, &type, &normalized);
      glClientActiveTexture(GL_TEXTURE0 + unit);
      glTexCoordPointer(size == GL_BGRA ? 4 : size, type, stride, offset);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      break;
    }
  }
  glClientActiveTexture(GL_TEXTURE0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

uint32_t TexCoordInputCount(const GlVertexDeclaration* declaration, uint32_t set) {
  if (declaration == nullptr) return 4;
  for (const VertexElement& element : declaration->GetElements()) {
    if (element.usage == kUsageTexCoord && element.usageIndex == set) return InputCountOf(element.type);
  }
  return 4;
}

}  // namespace klx::d3d
