#pragma once
// Operations on the scale/rotation/translation record. A point maps to
// rotate(p × scale) + translation. The identity flags are shortcuts only:
// set by a default-constructed record, cleared by anything that sets the
// components; an identity transform returns its input unchanged.

#include "core/math_types.h"

namespace klx {

// Scaling and rotation, no translation.
Vector3 TransformVector(const Transform& t, const Vector3& v);
// Scaling, rotation, then translation.
Vector3 TransformPoint(const Transform& t, const Vector3& p);
// The world transform of a child with `local` under a parent whose world
// transform is `parentWorld`. Scales multiply per component (a non-uniform
// parent scale does not shear a rotated child); the local rotation applies
// first, then the parent's.
Transform Compose(const Transform& local, const Transform& parentWorld);
// The matrix for the renderer (row vectors: p maps to p·M): rows 0–2 are
// the rotation matrix's rows scaled by scale x, y, z; row 3 the translation.
Matrix4 ToMatrix(const Transform& t);

// Setters that clear both identity flags.
void SetScale(Transform& t, const Vector3& scale);
void SetRotation(Transform& t, const Quaternion& rotation);
void SetTranslation(Transform& t, const Vector3& translation);

}  // namespace klx
