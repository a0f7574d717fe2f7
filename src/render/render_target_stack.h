#pragma once
// Where drawing goes: the back buffer, or a texture, a cube face or a shadow
// map pushed on top of it. Each push keeps the target it replaced and a pop
// puts it back. Textures drawn into get render-target copies on the device
// (made through the resource cache), and depth surfaces of their own where
// they ask for one.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "device/device.h"

namespace klx {

class BaseTexture;
class CubeTexture;
class DeviceResourceCache;
class Texture;

class RenderTargetStack {
 public:
  explicit RenderTargetStack(DeviceResourceCache& cache) : cache_(cache) {}
  RenderTargetStack(const RenderTargetStack&) = delete;
  RenderTargetStack& operator=(const RenderTargetStack&) = delete;

  // A new device (or none): drawing goes to its back buffer.
  void SetDevice(d3d::Device* device);
  // Empties the stack and drops the depth surfaces made for textures.
  void Clear();
  // True while the texture is drawn into (it cannot be sampled then).
  bool IsBeingDrawn(const BaseTexture* texture) const;
  // Drops the depth surface made for a texture, if any.
  void ForgetDepth(int32_t textureId) { ownDepth_.erase(textureId); }

  // kOk, or kFailed when the texture has no image or no copy can be made.
  int PushTexture(Texture* texture);
  int PushCubeFace(int32_t face, CubeTexture* texture);
  // Depth goes to the texture; the colour target and viewport stay.
  int PushShadowMap(Texture* texture);
  // kFailed when nothing was pushed.
  int Pop();
  bool IsEmpty() const { return stack_.empty(); }

 private:
  struct Target {
    d3d::BaseTexture* color = nullptr;  // null: the back buffer
    uint32_t face = 0;
    d3d::DepthStencilSurface* depth = nullptr;
    d3d::BaseTexture* depthTexture = nullptr;
  };
  struct Entry {
    BaseTexture* texture = nullptr;
    Target saved;
  };

  void Bind(const Target& target);
  d3d::BaseTexture* CopyWithUsage(BaseTexture* texture, uint32_t usage);
  d3d::BaseTexture* RenderTargetOf(BaseTexture* texture, bool cube, uint32_t edge, uint32_t width, uint32_t height,
                                   d3d::Format format);
  d3d::DepthStencilSurface* OwnDepth(const BaseTexture* texture, uint32_t width, uint32_t height);

  DeviceResourceCache& cache_;
  d3d::Device* device_ = nullptr;
  std::vector<Entry> stack_;
  Target current_;
  std::unordered_map<int32_t, std::unique_ptr<d3d::DepthStencilSurface>> ownDepth_;
};

}  // namespace klx
