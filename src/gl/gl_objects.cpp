#include "gl/gl_objects.h"

#include <algorithm>
#include <cstring>

#include "gl/gl_device.h"
#include "gl/mip_chain.h"

namespace klx::d3d {

namespace {
// Textures are made and filled on a unit the draws never use, so the
// stages' bindings stay as the device set them.
class ScratchUnit {
 public:
  ScratchUnit() { glActiveTexture(GL_TEXTURE15); }
  ~ScratchUnit() { glActiveTexture(GL_TEXTURE0); }
};
}  // namespace

GlObjectBase::GlObjectBase(GlDevice* device) : device_(device), serial_(device->RegisterObject(this)) {}

GlObjectBase::~GlObjectBase() {
  if (device_ != nullptr) device_->ForgetObject(this);
}

// ---------------------------------------------------------------------------
// Buffers

GlVertexBuffer::GlVertexBuffer(GlDevice* device, uint32_t size) : GlObjectBase(device), size_(size) {
  glGenBuffers(1, &name_);
  glBindBuffer(GL_ARRAY_BUFFER, name_);
  glBufferData(GL_ARRAY_BUFFER, size, nullptr, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

GlVertexBuffer::~GlVertexBuffer() {
  if (!IsOrphaned()) glDeleteBuffers(1, &name_);
}

bool GlVertexBuffer::Write(uint32_t offset, const void* data, uint32_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  glBindBuffer(GL_ARRAY_BUFFER, name_);
  glBufferSubData(GL_ARRAY_BUFFER, offset, size, data);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return true;
}

GlIndexBuffer::GlIndexBuffer(GlDevice* device, uint32_t size, Format format)
    : GlObjectBase(device), size_(size), format_(format) {
  glGenBuffers(1, &name_);
  glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
  glBufferData(GL_COPY_WRITE_BUFFER, size, nullptr, GL_STATIC_DRAW);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

GlIndexBuffer::~GlIndexBuffer() {
  if (!IsOrphaned()) glDeleteBuffers(1, &name_);
}

bool GlIndexBuffer::Write(uint32_t offset, const void* data, uint32_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
  glBufferSubData(GL_COPY_WRITE_BUFFER, offset, size, data);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  return true;
}

// ---------------------------------------------------------------------------
// Textures

bool DescribeFormat(Format format, GlFormat* out) {
  switch (format) {
    case kFmtA8R8G8B8:
      *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false};
      return true;
    case kFmtX8R8G8B8:
      *out = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, false};
      return true;
    case kFmtA8:
      // Stored with four channels so it can also be rendered to; sampling
      // gives (0, 0, 0, a) as the format does.
      *out = {GL_RGBA8, GL_ALPHA, GL_UNSIGNED_BYTE, false};
      return true;
    case kFmtA16B16G16R16F:
      *out = {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, false};
      return true;
    case kFmtD24S8:
      *out = {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, true};
      return true;
    case kFmtD24X8:
      *out = {GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, true};
      return true;
    case kFmtD16:
      *out = {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, true};
      return true;
    case kFmtD32:
      *out = {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, true};
      return true;
    default:
      return false;
  }
}

GlTexture::GlTexture(GlDevice* device, TextureKind kind, uint32_t width, uint32_t height,
                     uint32_t depth, uint32_t levels, uint32_t usage, Format format)
    : GlObjectBase(device),
      kind_(kind),
      width_(std::max(1u, width)),
      height_(std::max(1u, height)),
      depth_(std::max(1u, depth)),
      levels_(levels),
      usage_(usage),
      format_(format) {
  GlFormat gl;
  if (!DescribeFormat(format, &gl)) return;
  if (gl.depth != ((usage & kUsageDepthStencil) != 0)) return;  // depth formats only as depth
  const uint32_t full = FullMipLevelCount(width_, kind == kTextureCube ? width_ : height_,
                                          kind == kTextureVolume ? depth_ : 1);
  if (levels_ == 0 || levels_ > full) levels_ = full;
  if ((usage & (kUsageRenderTarget | kUsageDepthStencil)) != 0 && kind == kTextureVolume) return;
  target_ = kind == kTextureCube ? GL_TEXTURE_CUBE_MAP : kind == kTextureVolume ? GL_TEXTURE_3D : GL_TEXTURE_2D;
  if (kind == kTextureCube) height_ = width_;

  ScratchUnit scratch;
  glGenTextures(1, &name_);
  glBindTexture(target_, name_);
  for (uint32_t level = 0; level < levels_; ++level) {
    const GLsizei w = static_cast<GLsizei>(LevelWidth(level));
    const GLsizei h = static_cast<GLsizei>(LevelHeight(level));
    if (kind == kTextureVolume) {
      glTexImage3D(target_, static_cast<GLint>(level), static_cast<GLint>(gl.internalFormat), w, h,
                   static_cast<GLsizei>(LevelDepth(level)), 0, gl.format, gl.type, nullptr);
    } else if (kind == kTextureCube) {
      for (GLenum face = 0; face < 6; ++face) {
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, static_cast<GLint>(level),
                     static_cast<GLint>(gl.internalFormat), w, h, 0, gl.format, gl.type, nullptr);
      }
    } else {
      glTexImage2D(target_, static_cast<GLint>(level), static_cast<GLint>(gl.internalFormat), w, h, 0,
                   gl.format, gl.type, nullptr);
    }
  }
  glTexParameteri(target_, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(target_, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
  if (format == kFmtA8) {
    const GLint swizzle[4] = {GL_ZERO, GL_ZERO, GL_ZERO, GL_ALPHA};
    glTexParameteriv(target_, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
  }
  if (gl.depth) {
    // Depth textures answer a comparison with the reference depth, as
    // hardware shadow maps do.
    glTexParameteri(target_, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(target_, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  }
  glBindTexture(target_, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &name_);
    name_ = 0;
  }
}

GlTexture::~GlTexture() {
  if (name_ != 0 && !IsOrphaned()) glDeleteTextures(1, &name_);
}

uint32_t GlTexture::LevelWidth(uint32_t level) const { return std::max(1u, width_ >> level); }
uint32_t GlTexture::LevelHeight(uint32_t level) const { return std::max(1u, height_ >> level); }
uint32_t GlTexture::LevelDepth(uint32_t level) const {
  return kind_ == kTextureVolume ? std::max(1u, depth_ >> level) : 1u;
}

bool GlTexture::WriteLevel(uint32_t face, uint32_t level, const void* data, uint32_t rowPitch,
                           uint32_t slicePitch) {
  if (name_ == 0 || data == nullptr || level >= levels_ || (usage_ != kUsageNone)) return false;
  if (kind_ == kTextureCube ? face > 5 : face != 0) return false;
  GlFormat gl;
  DescribeFormat(format_, &gl);
  const uint32_t texel = BytesPerTexel(format_);
  const uint32_t w = LevelWidth(level), h = LevelHeight(level), d = LevelDepth(level);
  const uint32_t row = w * texel;
  if (rowPitch < row || (kind_ == kTextureVolume && slicePitch < rowPitch * h)) return false;
  if (kind_ != kTextureVolume) slicePitch = rowPitch * h;

  // Pack the rows tightly: the filter and GL both take them so.
  std::vector<uint8_t> packed(static_cast<size_t>(row) * h * d);
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (uint32_t z = 0; z < d; ++z) {
    for (uint32_t y = 0; y < h; ++y) {
      std::memcpy(packed.data() + (static_cast<size_t>(z) * h + y) * row,
                  bytes + static_cast<size_t>(z) * slicePitch + static_cast<size_t>(y) * rowPitch, row);
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  ScratchUnit scratch;
  glBindTexture(target_, name_);
  if (kind_ == kTextureVolume) {
    glTexSubImage3D(target_, static_cast<GLint>(level), 0, 0, 0, static_cast<GLsizei>(w),
                    static_cast<GLsizei>(h), static_cast<GLsizei>(d), gl.format, gl.type, packed.data());
  } else {
    const GLenum image = kind_ == kTextureCube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
    glTexSubImage2D(image, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(w),
                    static_cast<GLsizei>(h), gl.format, gl.type, packed.data());
  }
  glBindTexture(target_, 0);
  if (level == 0) {
    baseLevel_.resize(kind_ == kTextureCube ? 6 : 1);
    baseLevel_[face] = std::move(packed);
  }
  return true;
}

bool GlTexture::GenerateMipChain() {
  if (name_ == 0) return false;
  if (levels_ == 1) return true;
  ScratchUnit scratch;
  if ((usage_ & kUsageRenderTarget) != 0) {
    glBindTexture(target_, name_);
    glGenerateMipmap(target_);
    glBindTexture(target_, 0);
    return true;
  }
  if (usage_ != kUsageNone) return false;
  GlFormat gl;
  DescribeFormat(format_, &gl);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(target_, name_);
  for (size_t face = 0; face < baseLevel_.size(); ++face) {
    std::vector<uint8_t> current = baseLevel_[face];
    if (current.empty()) continue;  // a face never written keeps its levels
    for (uint32_t level = 1; level < levels_; ++level) {
      std::vector<uint8_t> next;
      if (!DownsampleLevel(format_, current.data(), LevelWidth(level - 1), LevelHeight(level - 1),
                           LevelDepth(level - 1), &next)) {
        glBindTexture(target_, 0);
        return false;
      }
      const GLsizei w = static_cast<GLsizei>(LevelWidth(level));
      const GLsizei h = static_cast<GLsizei>(LevelHeight(level));
      if (kind_ == kTextureVolume) {
        glTexSubImage3D(target_, static_cast<GLint>(level), 0, 0, 0, w, h,
                        static_cast<GLsizei>(LevelDepth(level)), gl.format, gl.type, next.data());
      } else {
        const GLenum image = kind_ == kTextureCube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face)
                                                   : GL_TEXTURE_2D;
        glTexSubImage2D(image, static_cast<GLint>(level), 0, 0, w, h, gl.format, gl.type, next.data());
      }
      current = std::move(next);
    }
  }
  glBindTexture(target_, 0);
  baseLevel_.clear();  // the chain is built; the copy is not needed again
  return true;
}

// ---------------------------------------------------------------------------
// Depth-stencil surfaces, declarations, queries

GlDepthStencilSurface::GlDepthStencilSurface(GlDevice* device, uint32_t width, uint32_t height,
                                             Format format)
    : GlObjectBase(device), width_(width), height_(height), format_(format) {
  GlFormat gl;
  if (!DescribeFormat(format, &gl) || !gl.depth) return;
  glGenRenderbuffers(1, &name_);
  glBindRenderbuffer(GL_RENDERBUFFER, name_);
  glRenderbufferStorage(GL_RENDERBUFFER, gl.internalFormat, static_cast<GLsizei>(width),
                        static_cast<GLsizei>(height));
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

GlDepthStencilSurface::~GlDepthStencilSurface() {
  if (name_ != 0 && !IsOrphaned()) glDeleteRenderbuffers(1, &name_);
}

GlVertexDeclaration::GlVertexDeclaration(GlDevice* device, const std::vector<VertexElement>& elements)
    : GlObjectBase(device), elements_(elements) {}

GlVertexDeclaration::~GlVertexDeclaration() = default;

bool GlVertexDeclaration::HasUsage(uint8_t usage, uint8_t index) const {
  for (const VertexElement& element : elements_) {
    if (element.usage == usage && element.usageIndex == index) return true;
  }
  return false;
}

GlOcclusionQuery::GlOcclusionQuery(GlDevice* device) : GlObjectBase(device) {
  glGenQueries(1, &name_);
}

GlOcclusionQuery::~GlOcclusionQuery() {
  if (name_ != 0 && !IsOrphaned()) glDeleteQueries(1, &name_);
}

void GlOcclusionQuery::Begin() { glBeginQuery(GL_SAMPLES_PASSED, name_); }

void GlOcclusionQuery::End() {
  glEndQuery(GL_SAMPLES_PASSED);
  issued_ = true;
}

bool GlOcclusionQuery::GetResult(uint32_t* samples, bool wait) {
  if (!issued_) return false;
  GLuint available = 0;
  if (!wait) {
    glGetQueryObjectuiv(name_, GL_QUERY_RESULT_AVAILABLE, &available);
    if (available == 0) return false;
  }
  GLuint result = 0;
  glGetQueryObjectuiv(name_, GL_QUERY_RESULT, &result);
  if (samples != nullptr) *samples = result;
  return true;
}

}  // namespace klx::d3d
