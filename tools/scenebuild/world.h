#pragma once
// The demo valley: its ground, lake, road and light, shared by the
// textures painted for it and the geometry built on it. World units are
// metres, y up, +z towards the sunset.

#include "canvas.h"
#include "core/math_types.h"

namespace klx::scenebuild {

// The square of ground the terrain covers, centred on the origin.
inline constexpr float kWorldSize = 420.0f;
inline constexpr float kWaterLevel = 0.0f;

float GroundHeight(float x, float z);
Vector3 GroundNormal(float x, float z);
// The road's centre line x for a z, and its half width.
float RoadCentreX(float z);
inline constexpr float kRoadHalfWidth = 3.5f;
// Horizontal distance from a point to the road's centre line.
float RoadDistance(float x, float z);
// Where the lake is: > 0 inside its basin.
float LakeDepthFactor(float x, float z);

// The evening light: direction towards the sun, and the light a surface
// with a normal receives from the sun and the sky.
Vector3 SunDirection();
content::Rgba Lit(const content::Rgba& base, const Vector3& normal);
// The colour of the haze that thickens with distance.
content::Rgba HazeColour();

Vector3 Normalize(const Vector3& v);

}  // namespace klx::scenebuild
