#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "core/class_factory.h"
#include "core/object.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

struct ClassRow {
  const char* name;
  const char* base;  // empty for the root
  bool creatable;
};

// Every engine class: its stored name, its base and whether the factory
// makes it from its name.
constexpr ClassRow kClasses[] = {
    {"KLX.Object", "", false},
    {"KLX.Buffer", "KLX.Object", false},
    {"KLX.Vector3Buffer", "KLX.Buffer", true},
    {"KLX.BoundingVolume", "KLX.Object", false},
    {"KLX.Node", "KLX.Object", false},
    {"KLX.FloatBuffer", "KLX.Buffer", true},
    {"KLX.IntBuffer", "KLX.Buffer", true},
    {"KLX.ColorBuffer", "KLX.Buffer", true},
    {"KLX.RenderStateBlock", "KLX.Object", true},
    {"KLX.Pass", "KLX.Object", false},
    {"KLX.Effect", "KLX.Object", false},
    {"KLX.Controller", "KLX.Object", false},
    {"KLX.Vector4Buffer", "KLX.Buffer", true},
    {"KLX.SkinController", "KLX.Controller", true},
    {"KLX.GeometryNodeEffect", "KLX.Effect", false},
    {"KLX.GeometryNode", "KLX.Node", false},
    {"KLX.Image", "KLX.Object", true},
    {"KLX.VolumeImage", "KLX.Image", true},
    {"KLX.SceneNodeEffect", "KLX.Effect", false},
    {"KLX.SceneNode", "KLX.Node", true},
    {"KLX.Font", "KLX.Object", false},
    {"KLX.Points", "KLX.GeometryNode", true},
    {"KLX.Lines", "KLX.GeometryNode", true},
    {"KLX.StripLines", "KLX.GeometryNode", true},
    {"KLX.Triangles", "KLX.GeometryNode", true},
    {"KLX.Camera", "KLX.Node", true},
    {"KLX.FPCamera", "KLX.Camera", true},
    {"KLX.Light", "KLX.Node", true},
    {"KLX.SoundNode", "KLX.Node", true},
    {"KLX.Emitter", "KLX.Object", false},
    {"KLX.PointEmitter", "KLX.Emitter", true},
    {"KLX.SphereVolumeEmitter", "KLX.PointEmitter", true},
    {"KLX.TrianglesEmitter", "KLX.PointEmitter", true},
    {"KLX.ParticleSystem", "KLX.GeometryNode", false},
    {"KLX.Shader", "KLX.Object", false},
    {"KLX.VertexShader", "KLX.Shader", true},
    {"KLX.PixelShader", "KLX.Shader", true},
    {"KLX.BaseTexture", "KLX.Object", true},
    {"KLX.Texture", "KLX.BaseTexture", true},
    {"KLX.CubeTexture", "KLX.BaseTexture", true},
    {"KLX.Vector2Buffer", "KLX.Buffer", true},
    {"KLX.OcclusionQuery", "KLX.Object", false},
    {"KLX.PostUpdateController", "KLX.Controller", false},
    {"KLX.SpriteParticleSystem", "KLX.ParticleSystem", true},
    {"KLX.NodeParticleSystem", "KLX.ParticleSystem", true},
    {"KLX.SphereBoundingVolume", "KLX.BoundingVolume", true},
    {"KLX.Flare", "KLX.GeometryNode", true},
    {"KLX.SoundNode2", "KLX.Node", true},
    {"KLX.Foliage", "KLX.SpriteParticleSystem", true},
    {"KLX.Animation", "KLX.Object", false},
    {"KLX.AnimationController", "KLX.Controller", false},
    {"KLX.NodeAnimation", "KLX.Animation", true},
    {"KLX.NodeAnimationController", "KLX.AnimationController", true},
    {"KLX.TargetCameraController", "KLX.Controller", true},
    {"KLX.TargetLightController", "KLX.Controller", true},
    {"KLX.SkeletonAnimationController", "KLX.AnimationController", true},
    {"KLX.ScreensaverController", "KLX.Controller", true},
    {"KLX.RenderScreenspaceReflectTextureController", "KLX.PostUpdateController", true},
    {"KLX.RenderScreenspaceRefractTextureController", "KLX.PostUpdateController", true},
    {"KLX.ShadowmapEffect", "KLX.SceneNodeEffect", true},
    {"KLX.NormalmapTextureController", "KLX.Controller", true},
    {"KLX.SoundNodeAnimation", "KLX.Animation", true},
    {"KLX.SoundNodeAnimationController", "KLX.AnimationController", true},
    {"KLX.FresnelTextureController", "KLX.Controller", true},
    {"KLX.BoolAnimation", "KLX.Animation", true},
    {"KLX.CameraActivateAnimationController", "KLX.AnimationController", true},
    {"KLX.CameraCulledController", "KLX.Controller", true},
    {"KLX.VolumeTexture", "KLX.BaseTexture", true},
    {"KLX.GeometryNodeEffectPass", "KLX.Pass", false},
    {"KLX.ColorEffect", "KLX.GeometryNodeEffect", true},
    {"KLX.TextureEffect", "KLX.ColorEffect", true},
    {"KLX.LightmapTextureEffect", "KLX.TextureEffect", true},
    {"KLX.NormalmapTextureEffect", "KLX.TextureEffect", true},
    {"KLX.ReflectiveRefractiveQuietFlatWaterEffect", "KLX.NormalmapTextureEffect", true},
    {"KLX.GrassEffect", "KLX.TextureEffect", true},
    {"KLX.Texture1DLEffect", "KLX.TextureEffect", true},
    {"KLX.PostRenderEffect", "KLX.SceneNodeEffect", true},
    {"KLX.SpriteEffect", "KLX.GeometryNodeEffect", true},
    {"KLX.RenderShadowmapEffectController", "KLX.PostUpdateController", true},
    // Ours: letterboxes the views of chosen cameras.
    {"KLX.CameraFilmController", "KLX.Controller", true},
};

// The classes built so far, each of which must be registered: a
// registration lost at link time (an object file the linker dropped) fails
// the test by name. Each class that lands joins the list.
constexpr const char* kLandedClasses[] = {
    "KLX.Animation", "KLX.NodeAnimation", "KLX.BoolAnimation", "KLX.AnimationController", "KLX.NodeAnimationController",
    "KLX.SoundNodeAnimation", "KLX.SoundNodeAnimationController", "KLX.ScreensaverController",
    "KLX.TargetCameraController", "KLX.TargetLightController", "KLX.CameraActivateAnimationController",
    "KLX.CameraCulledController", "KLX.NormalmapTextureController", "KLX.FresnelTextureController",
    "KLX.LightmapTextureEffect", "KLX.NormalmapTextureEffect", "KLX.SpriteEffect", "KLX.GrassEffect",
    "KLX.Texture1DLEffect", "KLX.SkinController", "KLX.ReflectiveRefractiveQuietFlatWaterEffect",
    "KLX.RenderScreenspaceReflectTextureController", "KLX.RenderScreenspaceRefractTextureController",
    "KLX.PostRenderEffect", "KLX.CameraFilmController", "KLX.ShadowmapEffect", "KLX.RenderShadowmapEffectController", "KLX.SkeletonAnimationController", "KLX.Emitter",
    "KLX.PointEmitter", "KLX.SphereVolumeEmitter", "KLX.TrianglesEmitter", "KLX.ParticleSystem",
    "KLX.SpriteParticleSystem", "KLX.NodeParticleSystem", "KLX.Foliage", "KLX.Flare",
    "KLX.BaseTexture", "KLX.BoundingVolume", "KLX.Buffer", "KLX.Camera", "KLX.ColorBuffer",
    "KLX.ColorEffect", "KLX.Controller", "KLX.CubeTexture", "KLX.Effect", "KLX.FPCamera", "KLX.FloatBuffer",
    "KLX.Font", "KLX.GeometryNode", "KLX.GeometryNodeEffect", "KLX.GeometryNodeEffectPass", "KLX.Image",
    "KLX.IntBuffer", "KLX.Light", "KLX.Lines", "KLX.Node", "KLX.Object", "KLX.OcclusionQuery", "KLX.Pass",
    "KLX.PixelShader", "KLX.Points", "KLX.PostUpdateController", "KLX.RenderStateBlock", "KLX.SceneNode",
    "KLX.SceneNodeEffect", "KLX.Shader", "KLX.SoundNode", "KLX.SoundNode2", "KLX.SphereBoundingVolume",
    "KLX.StripLines", "KLX.Texture", "KLX.TextureEffect", "KLX.Triangles", "KLX.Vector2Buffer",
    "KLX.Vector3Buffer", "KLX.Vector4Buffer", "KLX.VertexShader", "KLX.VolumeImage", "KLX.VolumeTexture",
};

using ClassTable = test::EngineTest;

TEST_F(ClassTable, EveryRegisteredClassMatchesItsRow) {
  static_assert(sizeof(kClasses) / sizeof(kClasses[0]) == 80);
  std::set<std::string> known;
  int registered = 0;
  for (const ClassRow& row : kClasses) {
    known.insert(row.name);
    const RTTI* record = RTTI::Find(String(row.name));
    const CreateFunction create = FindCreateFunction(String(row.name));
    if (record == nullptr) {
      EXPECT_EQ(create, nullptr) << row.name << " is in the factory without a class record";
      continue;
    }
    ++registered;
    ASSERT_NE(create, nullptr) << row.name << " has a record but did not enter the factory";
    if (row.base[0] == '\0') {
      EXPECT_EQ(record->GetParent(), nullptr) << row.name;
    } else {
      ASSERT_NE(record->GetParent(), nullptr) << row.name;
      EXPECT_EQ(record->GetParent()->GetName(), row.base) << row.name;
    }
    Object* object = nullptr;
    const int result = create(&object);
    if (row.creatable) {
      ASSERT_EQ(result, kOk) << row.name;
      Ref<Object> hold(object);
      EXPECT_EQ(&object->GetRTTI(), record) << row.name;
      EXPECT_EQ(object->GetName(), "") << row.name;
    } else {
      EXPECT_EQ(result, kFailed) << row.name;
      EXPECT_EQ(object, nullptr) << row.name;
    }
  }
  // No engine class outside the table.
  for (const RTTI* record = RTTI::First(); record != nullptr; record = record->Next()) {
    const std::string name = record->GetName().CStr();
    if (name.rfind("KLX.", 0) == 0) {
      EXPECT_TRUE(known.count(name)) << name << " is not in the table";
    }
  }
  std::printf("[ classes  ] %d of 80 engine classes registered\n", registered);
  for (const char* name : kLandedClasses) {
    EXPECT_NE(RTTI::Find(String(name)), nullptr) << name << " has landed but is not registered";
    EXPECT_TRUE(known.count(name)) << name << " is not in the table";
  }
  EXPECT_EQ(registered, static_cast<int>(std::size(kLandedClasses)))
      << "a registered class is missing from kLandedClasses";
}

}  // namespace
}  // namespace klx
