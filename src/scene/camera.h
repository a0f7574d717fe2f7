#pragma once
// Cameras: leaf nodes whose world transform places the eye (looking along
// its local +z with +y up) and whose lens makes the projection. Each update
// rebuilds the view and projection matrices, their product and the six
// frustum planes the renderer culls against.

#include <cstdint>

#include "core/math_types.h"
#include "scene/node.h"

namespace klx {

class Camera : public Node {
  KLX_DECLARE_CLASS(Camera)

 public:
  enum FrustumPlane : int32_t { kNear = 0, kFar, kLeft, kRight, kTop, kBottom, kPlaneCount };

  explicit Camera(const String& name);

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  // Controllers, the world transform, then the matrices and planes.
  void Update(double elapsed) override;
  void DrawSelf(DrawContext*) override {}
  void UpdateWorldBound() override {}

  // Builds the view and projection from the pose and the lens (or keeps
  // those set with SetMatrices), then their product and the planes.
  void UpdateMatrices();
  // Fixes the view and projection: the camera keeps them, whatever its
  // pose and lens, until ReleaseMatrices. For views that are no lens (the
  // overlay's unit square, a mirrored view).
  void SetMatrices(const Matrix4& view, const Matrix4& projection);
  void ReleaseMatrices();
  bool HasFixedMatrices() const { return fixedMatrices_; }
  void BuildProjection();
  void BuildView();
  void BuildFrustumPlanes();

  // The world position and the images of the local axes.
  Vector3 GetPosition() const;
  Vector3 GetRight() const;
  Vector3 GetUp() const;
  Vector3 GetDirection() const;

  // The plane-mask test against this camera's planes (planes that hold
  // the bound wholly inside leave the mask).
  bool IsCulled(const BoundingVolume& bound) { return frustum_.IsCulled(bound); }
  // The planes and mask as the draw traversal uses them.
  CullingFrustum& Frustum() { return frustum_; }

  float GetFieldOfView() const { return fieldOfView_; }
  void SetFieldOfView(float radians) { fieldOfView_ = radians; }
  float GetNearPlane() const { return nearPlane_; }
  void SetNearPlane(float distance) { nearPlane_ = distance; }
  float GetFarPlane() const { return farPlane_; }
  // Width over height of the picture the camera fills, handed over by the
  // renderer (not stored). The lens keeps its vertical angle and widens or
  // narrows horizontally with it. Values that are not positive and finite
  // are ignored.
  float GetAspect() const { return aspect_; }
  void SetAspect(float aspect);
  void SetFarPlane(float distance) { farPlane_ = distance; }
  const Vector4& GetFrustumPlane(int32_t index) const { return frustumPlanes_[index]; }
  const Matrix4& GetProjection() const { return projection_; }
  const Matrix4& GetView() const { return view_; }
  const Matrix4& GetViewProjection() const { return viewProjection_; }
  uint32_t GetPlaneMask() const { return frustum_.mask; }
  void SetPlaneMask(uint32_t mask) { frustum_.mask = mask; }

 protected:
  float fieldOfView_ = 0.7853982f;
  float nearPlane_ = 0.1f;
  float farPlane_ = 10000.0f;
  float aspect_ = 4.0f / 3.0f;
  bool fixedMatrices_ = false;
  Vector4 frustumPlanes_[kPlaneCount];
  Matrix4 projection_ = Matrix4::Identity();
  Matrix4 view_ = Matrix4::Identity();
  Matrix4 viewProjection_ = Matrix4::Identity();
  CullingFrustum frustum_;
};

// A camera with three more stored settings that nothing in the program
// reads; they are kept so files round-trip unchanged.
class FPCamera : public Camera {
  KLX_DECLARE_CLASS(FPCamera)

 public:
  explicit FPCamera(const String& name) : Camera(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  float first = 1.0f;
  float second = 3.0f;
  bool flag = false;
};

}  // namespace klx
