#pragma once
// Still water that mirrors the world above it and shows the ground below:
// a normal-mapped surface whose shader looks the reflection and the
// refraction up in screen space, bent by two normal-map samples scrolling
// against each other, and mixes them by a Fresnel ramp of the angle of view.
//
// The effect makes its own three maps when constructed: the reflection and
// refraction (512 x 256, drawn each frame by their screen-space controllers)
// and the Fresnel ramp (512 x 1, made once by its controller). Loading
// replaces them with the stored ones. On a machine without vertex and pixel
// shader 2.0 the surface is drawn as a plain texture, and the maps are not
// drawn at all.

#include <cstdint>

#include "render/effects/second_map_effects.h"

namespace klx {

class Texture;
class ScreenspaceTextureController;

class ReflectiveRefractiveQuietFlatWaterEffect : public NormalmapTextureEffect {
  KLX_DECLARE_CLASS(ReflectiveRefractiveQuietFlatWaterEffect)

 public:
  explicit ReflectiveRefractiveQuietFlatWaterEffect(const String& name);

  // After the normal-map effect's data: the three maps, then the normal-map
  // scale, the wave amplitude and speed, and the two distortions.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  // The normal-map effect's update, then the three maps' (their controllers
  // run there).
  void Update(double time) override;

  Texture* GetReflectionMap() const { return reflection_.Get(); }
  Texture* GetRefractionMap() const { return refraction_.Get(); }
  Texture* GetFresnelMap() const { return fresnel_.Get(); }
  void SetReflectionMap(Texture* map) { reflection_ = map; }
  void SetRefractionMap(Texture* map) { refraction_ = map; }
  void SetFresnelMap(Texture* map) { fresnel_ = map; }

  // The surface was drawn on the screen at this world height: the map
  // controllers draw the next frame's maps about it.
  void SurfaceDrawnAt(float height);

  // The normal map's coordinates are scaled by this before they scroll.
  Vector2 normalmapScale{1.0f, 1.0f};
  // The scrolling offsets: amplitude (sin, cos) of time x speed.
  float waveAmplitude = 0.2f;
  float waveSpeed = 1.5707964f;
  // How far the ripples bend the look-ups, in screen units per unit of
  // normal difference.
  float reflectionDistortion = 0.3f;
  float refractionDistortion = 0.1f;

  // The size of the screen-space maps and of the Fresnel ramp.
  static constexpr uint32_t kMapWidth = 512;
  static constexpr uint32_t kMapHeight = 256;

 private:
  Ref<Texture> reflection_;
  Ref<Texture> refraction_;
  Ref<Texture> fresnel_;
};

}  // namespace klx
