#pragma once
// What a geometry node asks of its effect: whether it is on, whether it
// blends (blended geometry is drawn from the sorted queue, far to near), its
// passes, its per-frame update, and re-recording its passes after the
// node's buffers change. The geometry-node effect classes implement it; a
// geometry node holds its effect as a counted object.

#include <cstdint>

#include "core/math_types.h"
#include "scene/draw_context.h"

namespace klx {

class GeometryEffectInterface {
 public:
  virtual ~GeometryEffectInterface() = default;
  virtual bool IsEnabled() const = 0;
  virtual bool IsBlended() const = 0;
  // The number of passes to draw; 0 when the effect cannot run here.
  virtual int32_t GetPassCount() = 0;
  // Prepares pass `pass`; nonzero skips the pass.
  virtual int ApplyPass(int32_t pass, DrawContext* context) = 0;
  virtual void UpdateEffect(double elapsed) = 0;
  virtual void InvalidateEffectPasses() = 0;
  // The colour of a colour effect (and its kinds), which a node particle
  // system sets per particle; false for effects without one.
  virtual bool GetEffectColor(Color* color) const { return (void)color, false; }
  virtual void SetEffectColor(const Color& color) { (void)color; }
  // The effect's wind: its amplitude, speed and the seconds its clock has
  // run; false for effects without one. Foliage sways by it.
  virtual bool GetWind(float* amplitude, float* speed, double* time) const {
    return (void)amplitude, (void)speed, (void)time, false;
  }
};

}  // namespace klx
