#pragma once

#include <string>
// Direct3D values to their OpenGL counterparts, and the clip-space
// correction that maps Direct3D's clip space onto the flipped framebuffer.

#include <epoxy/gl.h>

#include <cstdint>

#include "device/d3d_types.h"

namespace klx::d3d {

GLenum GlBlendFactor(uint32_t blend);
GLenum GlBlendEquation(uint32_t op);
GLenum GlCompare(uint32_t compare);
GLenum GlStencilOp(uint32_t op);
GLenum GlPrimitive(PrimitiveType type);
// The vertex count that `count` primitives of a type use; 0 for none.
uint32_t VertexCountOf(PrimitiveType type, uint32_t count);
GLint GlAddress(uint32_t address);
// Whether a GL renderer string names a software rasterizer (Mesa's
// llvmpipe or softpipe, or its classic swrast).
bool IsSoftwareRasterizer(const std::string& renderer);
// Minification from Direct3D's min and mip filters.
GLint GlMinFilter(uint32_t minFilter, uint32_t mipFilter);
GLint GlMagFilter(uint32_t magFilter);

// The column-major GL matrix of a Direct3D row-vector matrix is the same
// sixteen floats.
void ToGl(const Matrix& matrix, float out[16]);
Matrix Multiply(const Matrix& a, const Matrix& b);

// Clip space: Direct3D's z runs 0..w, GL's -w..w; rows are kept top first
// (y flipped); Direct3D's pixel centres sit on integers, GL's on halves.
// The result, applied after the projection, takes Direct3D clip
// coordinates to GL's for a target of that size (row-vector form).
Matrix ClipSpaceCorrection(uint32_t targetWidth, uint32_t targetHeight);

// A texture transform as GL applies it: Direct3D pads missing input
// coordinates with a 1 after the last one (GL with (0, 1) at r, q), uses
// `count` outputs and divides by the last of them when projected (GL
// always divides by q).
Matrix GlTextureMatrix(const Matrix& d3d, uint32_t inputCount, uint32_t flags);

}  // namespace klx::d3d
