#include "scene/transform.h"

namespace klx {

Vector3 TransformVector(const Transform& t, const Vector3& v) {
  if (t.isIdentity) return v;
  const Vector3 scaled = v * t.scale;
  return t.rotationIsIdentity ? scaled : t.rotation.Rotate(scaled);
}

Vector3 TransformPoint(const Transform& t, const Vector3& p) {
  if (t.isIdentity) return p;
  return TransformVector(t, p) + t.translation;
}

Transform Compose(const Transform& local, const Transform& parentWorld) {
  if (local.isIdentity) return parentWorld;
  if (parentWorld.isIdentity) return local;
  Transform world;
  world.scale = parentWorld.scale * local.scale;
  world.translation = TransformPoint(parentWorld, local.translation);
  if (local.rotationIsIdentity) {
    world.rotation = parentWorld.rotation;
  } else if (parentWorld.rotationIsIdentity) {
    world.rotation = local.rotation;
  } else {
    world.rotation = Quaternion::Multiply(local.rotation, parentWorld.rotation);
  }
  world.isIdentity = false;
  world.rotationIsIdentity = false;
  return world;
}

Matrix4 ToMatrix(const Transform& t) {
  Matrix4 m = Matrix4::Rotation(t.rotation);
  const float scale[3] = {t.scale.x, t.scale.y, t.scale.z};
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) m.m[row][column] *= scale[row];
  m.m[3][0] = t.translation.x;
  m.m[3][1] = t.translation.y;
  m.m[3][2] = t.translation.z;
  m.m[3][3] = 1;
  return m;
}

void SetScale(Transform& t, const Vector3& scale) {
  t.scale = scale;
  t.isIdentity = t.rotationIsIdentity = false;
}

void SetRotation(Transform& t, const Quaternion& rotation) {
  t.rotation = rotation;
  t.isIdentity = t.rotationIsIdentity = false;
}

void SetTranslation(Transform& t, const Vector3& translation) {
  t.translation = translation;
  t.isIdentity = t.rotationIsIdentity = false;
}

}  // namespace klx
