#pragma once
// Controllers that make a texture's image once, from the texture's update:
// a normal map from a one-byte height image, and the Fresnel ramp the
// water looks up by the angle of view.

#include "core/controller.h"

namespace klx {

class Texture;

// Turns the owner texture's one-byte height image into a normal map:
// n = (k (c - right), k (c - below), 1) normalised, stored as n 127 + 128,
// with the height as a fourth byte when asked. Runs once.
class NormalmapTextureController : public Controller {
  KLX_DECLARE_CLASS(NormalmapTextureController)

 public:
  explicit NormalmapTextureController(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void Update(double elapsed) override;
  void Reset() override { done_ = false; }

  float GetBumpCoefficient() const { return bump_; }
  void SetBumpCoefficient(float bump) { bump_ = bump; }
  bool KeepsHeightInAlpha() const { return heightInAlpha_; }
  void SetKeepHeightInAlpha(bool keep) { heightInAlpha_ = keep; }
  bool IsDone() const { return done_; }

 private:
  float bump_ = 1.0f;
  bool heightInAlpha_ = false;
  bool done_ = false;
};

// Fills the owner texture's image with Schlick's Fresnel term over its
// width: F = F0 + (1 - F0)(1 - j/w)^5, F0 = ((a - b)/(a + b))^2, as F 255
// in every byte of every row. Runs once.
class FresnelTextureController : public Controller {
  KLX_DECLARE_CLASS(FresnelTextureController)

 public:
  explicit FresnelTextureController(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void Update(double elapsed) override;
  void Reset() override { done_ = false; }

  float GetFirstIndex() const { return firstIndex_; }
  float GetSecondIndex() const { return secondIndex_; }
  void SetIndices(float first, float second) {
    firstIndex_ = first;
    secondIndex_ = second;
  }
  bool IsDone() const { return done_; }

 private:
  // Air and water.
  float firstIndex_ = 1.0f;
  float secondIndex_ = 1.333f;
  bool done_ = false;
};

}  // namespace klx
