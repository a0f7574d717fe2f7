#pragma once
// The scene's textures, painted in code. The evening light and the haze
// are painted in, since the material effects are unlit.

#include "assets/image.h"
#include "canvas.h"
#include "core/ref_counted.h"

namespace klx::scenebuild {

// The whole terrain from above: u along +x, v from the far (+z) edge.
content::Canvas PaintTerrain(int size);
// The lake: v from the far shore (sunset reflection) to the near one.
content::Canvas PaintWater(int size);
// Heights of small crossing ripples (one byte a pixel, tiling), from which
// the normal-map controller makes the lake's normal map.
Ref<Image> PaintRipples(int size);
// The sky dome: u the azimuth from +z towards +x, v from the zenith down
// to the lowest elevation the dome covers (kSkyLowest).
content::Canvas PaintSky(int width, int height);
inline constexpr float kSkyLowest = -1.2f;
// Asphalt across u, along v; one dash of the centre line per repeat.
content::Canvas PaintRoad(int width, int height);
// Cut-out pictures with alpha for crossed quads.
content::Canvas PaintConifer(int width, int height);
content::Canvas PaintBroadleaf(int size);
content::Canvas PaintGrassTuft(int width, int height);
content::Canvas PaintFlame(int width, int height);
// A round glow, white at the centre, for embers and sparks.
content::Canvas PaintSpark(int size);
// A soft white glow (the vertex colour tints it): fire tongues, flares,
// fireflies.
content::Canvas PaintGlow(int size);
// A puff of smoke: a soft, cloudy grey disc with alpha.
content::Canvas PaintSmoke(int size);
// A cluster of leaves with alpha, for the foliage sprites.
content::Canvas PaintLeaves(int size);

}  // namespace klx::scenebuild
