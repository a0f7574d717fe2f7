#pragma once
// What the built-in material passes share: the capability tests, matrices
// as shader constants, the geometry being drawn, the common constants
// (c0-c3 world*view*projection, c4-c7 world*view, c8 colour, c9 fog and
// wind, c10 wind clock) and the fixed-function colour buffer.

#include <cstdint>

#include "core/math_types.h"
#include "core/ref_counted.h"

namespace klx {

class BaseTexture;
class Texture;
class Camera;
class ColorBuffer;
class MemoryStream;
class Object;
class Shader;
class SkinController;
class GeometryNode;
class GeometryNodeEffect;
class Renderer;

namespace effects {

// Vertex and pixel shaders both usable.
bool HasShaders(const Renderer& renderer);

// The four columns of a row-vector matrix as constants from `start`: m4x4
// and dp4 against them give p * M.
void SetMatrixConstants(Renderer& renderer, int32_t start, const Matrix4& m);

// The geometry node the renderer is drawing, or null.
GeometryNode* CurrentGeometry(Renderer& renderer);

// c0-c7 from the world matrix and camera, c8 `color`, c9 (fog density,
// fog exponent, wind amplitude, wind speed), and c10 (amplitude, speed,
// time, 1) when the wind blows or `windClock` asks for it.
void SetCommonConstants(Renderer& renderer, const GeometryNodeEffect& effect, const Matrix4& world,
                        const Camera& camera, const Color& color, bool windClock = false);

// The current renderer's vertex shaders reach 2.0 (levels 1 and 2), so a
// skin can be drawn by a skinning vertex shader.
bool ShaderSkinningAvailable();

// The skin controller the effect's shader skins with, or null (none, or
// the pass was not recorded for skinning).
SkinController* ShaderSkin(const GeometryNodeEffect& effect);

// The skin's bone palette (each bone's four columns, at most the shader
// palette's bones) as constants from `start`, in one upload.
void SetPaletteConstants(Renderer& renderer, const SkinController& skin, int32_t start);

// A skinned draw's streams (the bind pose, weights and indices) and
// constants: c0-c3 view-projection, c4-c7 view, the bone palette from c8,
// the colour in c208 and the fog in c209.
void SetSkinStreamsAndConstants(Renderer& renderer, const GeometryNodeEffect& effect, SkinController& skin,
                                const Camera& camera, const Color& color);

// The fixed-function path's colour: one per vertex, all `color`, handed to
// the renderer. `buffer` is made (or remade) for the vertex count.
void SetUniformColors(Renderer& renderer, Ref<ColorBuffer>& buffer, int32_t count, const Color& color);

// The camera's projection and view and the world matrix, for the fixed
// function.
void SetFixedMatrices(Renderer& renderer, const Camera& camera, const Matrix4& world);

// Gives a shader (when there is one) a constant text of the program.
void SetShaderText(Shader* shader, const char* text);

// A texture an effect draws into or fills: an empty image of that format
// and size, named by `pattern` ("... %d") with the texture's own ID.
Ref<Texture> MakeNamedTarget(const char* pattern, uint32_t format, uint32_t width, uint32_t height);

// A texture link of an effect and, when `set` is given, its coordinate set,
// stored after the effect's data, with the effect's failure lines. Loading
// refuses a texture that would close a loop through `owner` and clamps the
// set to 0-7.
int SaveTextureLink(MemoryStream& stream, Object& owner, BaseTexture* texture, const int32_t* set);
int LoadTextureLink(MemoryStream& stream, Object& owner, Ref<BaseTexture>* texture, int32_t* set);

}  // namespace effects
}  // namespace klx
