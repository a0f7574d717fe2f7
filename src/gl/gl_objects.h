#pragma once
// The OpenGL objects behind the device's buffers, textures, surfaces,
// declarations, queries and shaders. Each object knows its device, so that
// deleting it also unbinds it there; each carries a serial number by which
// recorded state blocks find it again (or find it gone).

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "device/device.h"

namespace klx::d3d {

class GlDevice;

// The part every GL object shares: its device and serial number.
class GlObjectBase {
 public:
  GlObjectBase(GlDevice* device);
  virtual ~GlObjectBase();
  GlObjectBase(const GlObjectBase&) = delete;
  GlObjectBase& operator=(const GlObjectBase&) = delete;
  uint64_t GetSerial() const { return serial_; }
  // The device went first: the GL object went with its context, and
  // deleting this one only frees memory.
  void Orphan() { device_ = nullptr; }
  bool IsOrphaned() const { return device_ == nullptr; }

 protected:
  GlDevice* device_;

 private:
  uint64_t serial_;
};

class GlVertexBuffer final : public VertexBuffer, public GlObjectBase {
 public:
  GlVertexBuffer(GlDevice* device, uint32_t size);
  ~GlVertexBuffer() override;
  uint32_t GetSize() const override { return size_; }
  bool Write(uint32_t offset, const void* data, uint32_t size) override;
  GLuint GetName() const { return name_; }

 private:
  GLuint name_ = 0;
  uint32_t size_;
};

class GlIndexBuffer final : public IndexBuffer, public GlObjectBase {
 public:
  GlIndexBuffer(GlDevice* device, uint32_t size, Format format);
  ~GlIndexBuffer() override;
  uint32_t GetSize() const override { return size_; }
  Format GetFormat() const override { return format_; }
  bool Write(uint32_t offset, const void* data, uint32_t size) override;
  GLuint GetName() const { return name_; }

 private:
  GLuint name_ = 0;
  uint32_t size_;
  Format format_;
};

// How a device format lives in GL.
struct GlFormat {
  GLenum internalFormat = 0;
  GLenum format = 0;  // of the client data
  GLenum type = 0;
  bool depth = false;
};
bool DescribeFormat(Format format, GlFormat* out);

class GlTexture final : public BaseTexture, public GlObjectBase {
 public:
  GlTexture(GlDevice* device, TextureKind kind, uint32_t width, uint32_t height, uint32_t depth,
            uint32_t levels, uint32_t usage, Format format);
  ~GlTexture() override;
  bool IsValid() const { return name_ != 0; }

  TextureKind GetKind() const override { return kind_; }
  Format GetFormat() const override { return format_; }
  uint32_t GetLevelCount() const override { return levels_; }
  uint32_t GetUsage() const override { return usage_; }
  uint32_t GetWidth() const override { return width_; }
  uint32_t GetHeight() const override { return height_; }
  uint32_t GetDepth() const override { return depth_; }
  bool WriteLevel(uint32_t face, uint32_t level, const void* data, uint32_t rowPitch,
                  uint32_t slicePitch) override;
  bool GenerateMipChain() override;

  GLuint GetName() const { return name_; }
  GLenum GetTarget() const { return target_; }
  uint32_t LevelWidth(uint32_t level) const;
  uint32_t LevelHeight(uint32_t level) const;
  uint32_t LevelDepth(uint32_t level) const;

 private:
  GLuint name_ = 0;
  GLenum target_ = GL_TEXTURE_2D;
  TextureKind kind_;
  uint32_t width_, height_, depth_, levels_, usage_;
  Format format_;
  // Level 0 as written, kept so the box filter can build the chain (a
  // cube keeps six faces).
  std::vector<std::vector<uint8_t>> baseLevel_;
};

class GlDepthStencilSurface final : public DepthStencilSurface, public GlObjectBase {
 public:
  GlDepthStencilSurface(GlDevice* device, uint32_t width, uint32_t height, Format format);
  ~GlDepthStencilSurface() override;
  uint32_t GetWidth() const override { return width_; }
  uint32_t GetHeight() const override { return height_; }
  GLuint GetName() const { return name_; }
  bool HasStencil() const { return format_ == kFmtD24S8; }

 private:
  GLuint name_ = 0;
  uint32_t width_, height_;
  Format format_;
};

class GlVertexDeclaration final : public VertexDeclaration, public GlObjectBase {
 public:
  GlVertexDeclaration(GlDevice* device, const std::vector<VertexElement>& elements);
  ~GlVertexDeclaration() override;
  const std::vector<VertexElement>& GetElements() const override { return elements_; }
  bool HasUsage(uint8_t usage, uint8_t index) const;

 private:
  std::vector<VertexElement> elements_;
};

class GlOcclusionQuery final : public OcclusionQuery, public GlObjectBase {
 public:
  explicit GlOcclusionQuery(GlDevice* device);
  ~GlOcclusionQuery() override;
  void Begin() override;
  void End() override;
  bool GetResult(uint32_t* samples, bool wait) override;

 private:
  GLuint name_ = 0;
  bool issued_ = false;
};

}  // namespace klx::d3d
