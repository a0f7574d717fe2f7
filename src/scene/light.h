#pragma once
// A light source for the fixed-function pipeline: a leaf node whose world
// transform places and aims it. Types: 0 directional along world +z, 1
// directional along the node's forward axis, 2 point at the node, 3 spot at
// the node along its forward axis.

#include <cstdint>

#include "core/math_types.h"
#include "scene/node.h"

namespace klx {

class Light : public Node {
  KLX_DECLARE_CLASS(Light)

 public:
  enum Type : int32_t { kFixedDirectional = 0, kDirectional = 1, kPoint = 2, kSpot = 3 };

  explicit Light(const String& name, int32_t type = kFixedDirectional) : Node(name), lightType(type) {}

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void DrawSelf(DrawContext*) override {}
  void UpdateWorldBound() override {}

  Vector3 GetPosition() const;
  Vector3 GetDirection() const;  // the node's forward axis in the world

  int32_t lightType;
  Color ambient{0, 0, 0, 1};
  Color diffuse{0, 0, 0, 1};
  Color specular{0, 0, 0, 1};
  float attenuationConstant = 1.0f;
  float attenuationLinear = 0.0f;
  float attenuationQuadratic = 0.0f;
  bool useAttenuation = false;
  float spotFalloff = 1.0f;
  float spotAngle = 0.7853982f;  // half-angle of the cone
};

}  // namespace klx
