#pragma once
// Shaders: Direct3D 9 assembly text (constant, not owned) that the renderer
// assembles on first use. Changing the text drops the device copy so it is
// assembled again. Shaders are never saved.

#include <cstdint>

#include "core/object.h"
#include "scene/device_handle.h"

namespace klx {

class Shader : public Object {
  KLX_DECLARE_CLASS(Shader)

 public:
  explicit Shader(const String& name) : Object(name) {}
  ~Shader() override;

  // 0 for vertex, 1 for pixel shaders.
  virtual int32_t GetShaderType() const = 0;

  const char* GetText() const { return text_; }
  int32_t GetTextLength() const { return length_; }
  // Takes a text that outlives the shader; the device copy goes.
  void SetText(const char* text, int32_t length);

  DeviceHandle& Handle() { return handle_; }

 private:
  const char* text_ = nullptr;
  int32_t length_ = 0;
  DeviceHandle handle_;
};

class VertexShader : public Shader {
  KLX_DECLARE_CLASS(VertexShader)

 public:
  explicit VertexShader(const String& name) : Shader(name) {}
  int32_t GetShaderType() const override { return 0; }
};

class PixelShader : public Shader {
  KLX_DECLARE_CLASS(PixelShader)

 public:
  explicit PixelShader(const String& name) : Shader(name) {}
  int32_t GetShaderType() const override { return 1; }
};

}  // namespace klx
