// The fixed-function texture stages on GL's texture-environment combiners:
// stage i is texture unit i; each stage's colour and alpha operations with
// their arguments become a combine function with sources and operands.
// Coordinate generation and texture transforms go with each unit.

#include "gl/gl_device.h"
#include "gl/gl_translate.h"

namespace klx::d3d {

uint32_t TexCoordInputCount(const GlVertexDeclaration* declaration, uint32_t set);

namespace {

struct CombineSource {
  GLenum source;
  GLenum operand;
};

CombineSource SourceOf(uint32_t argument, bool alpha) {
  GLenum source = GL_PREVIOUS;
  switch (argument & kTaSelectMask) {
    case kTaDiffuse: source = GL_PRIMARY_COLOR; break;
    case kTaTexture: source = GL_TEXTURE; break;
    case kTaTFactor:
    case kTaConstant: source = GL_CONSTANT; break;
    case kTaSpecular: source = GL_PRIMARY_COLOR; break;  // GL's combiners cannot read it
    default: source = GL_PREVIOUS; break;                // current (and temp)
  }
  const bool complement = (argument & kTaComplement) != 0;
  const bool replicate = alpha || (argument & kTaAlphaReplicate) != 0;
  GLenum operand = 0;
  if (replicate) {
    operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  } else {
    operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
  }
  return {source, operand};
}

// The GL names of one channel group (colour or alpha) of a unit.
struct ChannelNames {
  GLenum combine, scale;
  GLenum sources[3];
  GLenum operands[3];
};
constexpr ChannelNames kColorNames{GL_COMBINE_RGB, GL_RGB_SCALE,
                                   {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB},
                                   {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB}};
constexpr ChannelNames kAlphaNames{GL_COMBINE_ALPHA, GL_ALPHA_SCALE,
                                   {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA},
                                   {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA}};

void SetSource(const ChannelNames& names, int slot, const CombineSource& source) {
  glTexEnvi(GL_TEXTURE_ENV, names.sources[slot], static_cast<GLint>(source.source));
  glTexEnvi(GL_TEXTURE_ENV, names.operands[slot], static_cast<GLint>(source.operand));
}

// One operation with its three arguments (argument 0, 1, 2 as Direct3D
// numbers them) on one channel group.
void SetCombine(bool alpha, uint32_t op, uint32_t arg0, uint32_t arg1, uint32_t arg2, bool combine3) {
  const ChannelNames& names = alpha ? kAlphaNames : kColorNames;
  const CombineSource a0 = SourceOf(arg0, alpha), a1 = SourceOf(arg1, alpha), a2 = SourceOf(arg2, alpha);
  GLenum function = GL_REPLACE;
  float scale = 1.0f;
  auto blendBy = [&](GLenum source) {
    function = GL_INTERPOLATE;
    SetSource(names, 0, a1);
    SetSource(names, 1, a2);
    SetSource(names, 2, CombineSource{source, GL_SRC_ALPHA});
  };
  switch (op) {
    case kTopSelectArg2:
      SetSource(names, 0, a2);
      break;
    case kTopModulate4x:
      scale = 4.0f;
      [[fallthrough]];
    case kTopModulate2x:
      if (scale == 1.0f) scale = 2.0f;
      [[fallthrough]];
    case kTopModulate:
    case kTopPremodulate:
      function = GL_MODULATE;
      SetSource(names, 0, a1);
      SetSource(names, 1, a2);
      break;
    case kTopAdd:
    case kTopAddSmooth:  // approximated: the product term is dropped
      function = GL_ADD;
      SetSource(names, 0, a1);
      SetSource(names, 1, a2);
      break;
    case kTopAddSigned2x:
      scale = 2.0f;
      [[fallthrough]];
    case kTopAddSigned:
      function = GL_ADD_SIGNED;
      SetSource(names, 0, a1);
      SetSource(names, 1, a2);
      break;
    case kTopSubtract:
      function = GL_SUBTRACT;
      SetSource(names, 0, a1);
      SetSource(names, 1, a2);
      break;
    case kTopBlendDiffuseAlpha:
      blendBy(GL_PRIMARY_COLOR);
      break;
    case kTopBlendTextureAlpha:
    case kTopBlendTextureAlphaPm:
      blendBy(GL_TEXTURE);
      break;
    case kTopBlendFactorAlpha:
      blendBy(GL_CONSTANT);
      break;
    case kTopBlendCurrentAlpha:
      blendBy(GL_PREVIOUS);
      break;
    case kTopLerp:
      // arg0 * arg1 + (1 - arg0) * arg2
      function = GL_INTERPOLATE;
      SetSource(names, 0, a1);
      SetSource(names, 1, a2);
      SetSource(names, 2, a0);
      break;
    case kTopMultiplyAdd:
      // arg0 + arg1 * arg2
      if (combine3) {
        function = GL_MODULATE_ADD_ATI;  // src0 * src2 + src1
        SetSource(names, 0, a1);
        SetSource(names, 1, a0);
        SetSource(names, 2, a2);
      } else {
        function = GL_ADD;
        SetSource(names, 0, a0);
        SetSource(names, 1, a1);
      }
      break;
    case kTopModulateAlphaAddColor:
      // arg1.rgb + arg1.a * arg2.rgb
      if (combine3 && !alpha) {
        function = GL_MODULATE_ADD_ATI;
        SetSource(names, 0, CombineSource{a1.source, GL_SRC_ALPHA});
        SetSource(names, 1, a1);
        SetSource(names, 2, a2);
      } else {
        function = GL_ADD;
        SetSource(names, 0, a1);
        SetSource(names, 1, a2);
      }
      break;
    case kTopDotProduct3:
      function = alpha ? GL_REPLACE : GL_DOT3_RGBA;
      SetSource(names, 0, a1);
      SetSource(names, 1, a2);
      break;
    case kTopDisable:
      // An alpha operation left off keeps the current alpha.
      SetSource(names, 0, CombineSource{GL_PREVIOUS, static_cast<GLenum>(alpha ? GL_SRC_ALPHA : GL_SRC_COLOR)});
      break;
    default:  // select argument 1, and the bump-mapping operations GL lacks
      SetSource(names, 0, a1);
      break;
  }
  glTexEnvi(GL_TEXTURE_ENV, names.combine, static_cast<GLint>(function));
  glTexEnvf(GL_TEXTURE_ENV, names.scale, scale);
}

GLenum TargetOf(const GlTexture* texture) {
  return texture != nullptr ? texture->GetTarget() : GL_TEXTURE_2D;
}

void EnableOnly(GLenum target) {
  for (GLenum each : {GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_3D}) {
    if (each == target) {
      glEnable(each);
    } else {
      glDisable(each);
    }
  }
}

void SetGeneration(uint32_t generation) {
  const GLenum coordinates[3] = {GL_S, GL_T, GL_R};
  const GLenum enables[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
  glDisable(GL_TEXTURE_GEN_Q);
  GLint mode = 0;
  switch (generation) {
    case kTciCameraSpaceNormal: mode = GL_NORMAL_MAP; break;
    case kTciCameraSpacePosition: mode = GL_EYE_LINEAR; break;
    case kTciCameraSpaceReflectionVector: mode = GL_REFLECTION_MAP; break;
    case kTciSphereMap: mode = GL_SPHERE_MAP; break;
    default: break;
  }
  for (int i = 0; i < 3; ++i) {
    const bool on = mode != 0 && !(mode == GL_SPHERE_MAP && i == 2);
    if (!on) {
      glDisable(enables[i]);
      continue;
    }
    glTexGeni(coordinates[i], GL_TEXTURE_GEN_MODE, mode);
    if (mode == GL_EYE_LINEAR) {
      // Planes given under an identity model-view: the camera-space
      // position itself.
      glMatrixMode(GL_MODELVIEW);
      glPushMatrix();
      glLoadIdentity();
      float plane[4] = {0, 0, 0, 0};
      plane[i] = 1;
      glTexGenfv(coordinates[i], GL_EYE_PLANE, plane);
      glPopMatrix();
    }
    glEnable(enables[i]);
  }
}

}  // namespace

void GlDevice::ApplyTextureStages() {
  const bool combine3 = combine3_;
  float factor[4];
  {
    const uint32_t argb = state_.renderStates[kRsTextureFactor];
    factor[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    factor[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    factor[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    factor[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
  }
  if (state_.pixelShader != nullptr) {
    // A pixel shader samples every unit that has a texture; the stage
    // operations do not apply.
    for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      GlTexture* texture = state_.textures[unit];
      glBindTexture(TargetOf(texture), texture != nullptr ? texture->GetName() : whiteTexture_);
    }
    glActiveTexture(GL_TEXTURE0);
    return;
  }
  bool active = true;  // stages run up to the first disabled colour operation
  for (uint32_t unit = 0; unit < kMaxStages; ++unit) {
    const auto& ts = state_.stageStates[unit];
    glActiveTexture(GL_TEXTURE0 + unit);
    if (active && ts[kTssColorOp] == kTopDisable) active = false;
    if (!active || unit >= caps_.maxSimultaneousTextures) {
      EnableOnly(0);
      glDisable(GL_TEXTURE_GEN_S);
      glDisable(GL_TEXTURE_GEN_T);
      glDisable(GL_TEXTURE_GEN_R);
      glBindTexture(GL_TEXTURE_2D, 0);
      continue;
    }
    GlTexture* texture = state_.textures[unit];
    const GLenum target = TargetOf(texture);
    glBindTexture(target, texture != nullptr ? texture->GetName() : whiteTexture_);
    EnableOnly(target);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
    SetCombine(false, ts[kTssColorOp], ts[kTssColorArg0], ts[kTssColorArg1], ts[kTssColorArg2], combine3);
    SetCombine(true, ts[kTssAlphaOp], ts[kTssAlphaArg0], ts[kTssAlphaArg1], ts[kTssAlphaArg2], combine3);

    const uint32_t index = ts[kTssTexCoordIndex];
    SetGeneration(index & 0xFFFF0000u);
    glMatrixMode(GL_TEXTURE);
    const uint32_t flags = ts[kTssTextureTransformFlags];
    if (flags != kTtffDisable) {
      const uint32_t inputs = (index & 0xFFFF0000u) != 0
                                  ? 3
                                  : TexCoordInputCount(state_.declaration, index & 0xFFFF);
      float m[16];
      ToGl(GlTextureMatrix(state_.textureTransforms[unit], inputs, flags), m);
      glLoadMatrixf(m);
    } else {
      glLoadIdentity();
    }
    glMatrixMode(GL_MODELVIEW);
  }
  glActiveTexture(GL_TEXTURE0);
}

}  // namespace klx::d3d
