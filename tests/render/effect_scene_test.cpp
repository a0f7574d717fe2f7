// Every material effect and texture controller in one scene, saved through
// the scene codec and loaded back: the classes, their links and their
// settings return.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "render/effects/grass_effect.h"
#include "render/effects/lit_effect.h"
#include "render/effects/second_map_effects.h"
#include "render/effects/sprite_effect.h"
#include "render/effects/texture_controllers.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/scene_node.h"
#include "support/engine_fixture.h"
#include "support/image_test_support.h"
#include "vfs/virtual_file.h"

namespace klx {
namespace {

using EffectScene = test::EngineTest;

Ref<Triangles> Carrying(const char* name, GeometryNodeEffect* effect) {
  const Vector3 corners[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const int32_t indices[3] = {0, 1, 2};
  Ref<Triangles> triangle(new Triangles(String(name)));
  triangle->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 3, corners)).Get());
  triangle->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 3, indices)).Get());
  triangle->SetEffect(effect);
  return triangle;
}

TEST_F(EffectScene, EveryEffectAndTextureControllerRoundTripsThroughASceneFile) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<Light> sun(new Light(String("sun"), Light::kDirectional));
  ASSERT_EQ(root->AttachChild(sun.Get()), kOk);

  Ref<Texture> ground(new Texture(String("ground")));
  Ref<Texture> light(new Texture(String("light")));
  Ref<Texture> bumps(new Texture(String("bumps")));
  Ref<NormalmapTextureController> normals(new NormalmapTextureController(String("bumper")));
  normals->SetBumpCoefficient(3.0f);
  ASSERT_EQ(bumps->AttachController(normals.Get()), kOk);
  Ref<Texture> fresnelRamp(new Texture(String("fresnel")));
  Ref<FresnelTextureController> fresnel(new FresnelTextureController(String("schlick")));
  fresnel->SetIndices(1.0f, 1.5f);
  ASSERT_EQ(fresnelRamp->AttachController(fresnel.Get()), kOk);

  Ref<LightmapTextureEffect> lightmapped(new LightmapTextureEffect(String("lightmapped")));
  lightmapped->SetTexture(ground.Get());
  lightmapped->SetLightmap(light.Get());
  lightmapped->SetSecondTexCoordSet(2);
  Ref<NormalmapTextureEffect> bumpy(new NormalmapTextureEffect(String("bumpy")));
  bumpy->SetTexture(fresnelRamp.Get());
  bumpy->SetNormalmap(bumps.Get());
  Ref<GrassEffect> grass(new GrassEffect(String("grass")));
  grass->SetTexture(ground.Get());
  grass->SetSwaySet(4);
  Ref<Texture1DLEffect> lit(new Texture1DLEffect(String("lit")));
  lit->SetTexture(ground.Get());
  lit->SetLight(sun.Get());
  Ref<SpriteEffect> sparks(new SpriteEffect(String("sparks")));
  sparks->SetTexture(light.Get());
  for (GeometryNodeEffect* effect : std::initializer_list<GeometryNodeEffect*>{
           lightmapped.Get(), bumpy.Get(), grass.Get(), lit.Get(), sparks.Get()}) {
    ASSERT_EQ(root->AttachChild(Carrying(("with " + std::string(effect->GetName().CStr())).c_str(), effect).Get()),
              kOk);
  }

  test::ScratchFolder folder;
  const std::string path = folder.File("effects.STR");
  {
    VirtualFile file{String(path.c_str())};
    ASSERT_EQ(SaveScene(&file, root.Get()), kOk);
  }
  VirtualFile file{String(path.c_str())};
  Ref<Object> loaded;
  ASSERT_EQ(LoadScene(&file, &loaded), kOk);
  ASSERT_TRUE(loaded);
  auto effectOf = [&](const char* name) {
    auto* geometry = DynamicCast<GeometryNode>(loaded->FindByName(String(name)));
    return geometry != nullptr ? geometry->GetEffect() : nullptr;
  };
  auto* lightmappedCopy = DynamicCast<LightmapTextureEffect>(effectOf("with lightmapped"));
  auto* bumpyCopy = DynamicCast<NormalmapTextureEffect>(effectOf("with bumpy"));
  auto* grassCopy = DynamicCast<GrassEffect>(effectOf("with grass"));
  auto* litCopy = DynamicCast<Texture1DLEffect>(effectOf("with lit"));
  auto* sparksCopy = DynamicCast<SpriteEffect>(effectOf("with sparks"));
  ASSERT_NE(lightmappedCopy, nullptr);
  ASSERT_NE(bumpyCopy, nullptr);
  ASSERT_NE(grassCopy, nullptr);
  ASSERT_NE(litCopy, nullptr);
  ASSERT_NE(sparksCopy, nullptr);
  EXPECT_EQ(lightmappedCopy->GetSecondTexCoordSet(), 2);
  EXPECT_EQ(grassCopy->GetSwaySet(), 4);
  // Shared objects stay shared: the ground texture, the sun in the tree.
  EXPECT_EQ(grassCopy->GetTexture(), lightmappedCopy->GetTexture());
  EXPECT_EQ(litCopy->GetLight(), loaded->FindByName(String("sun")));
  EXPECT_EQ(sparksCopy->GetTexture(), lightmappedCopy->GetLightmap());
  auto* bumpsCopy = bumpyCopy->GetNormalmap();
  ASSERT_NE(bumpsCopy, nullptr);
  ASSERT_EQ(bumpsCopy->GetControllerCount(), 1);
  auto* normalsCopy = DynamicCast<NormalmapTextureController>(bumpsCopy->GetController(0));
  ASSERT_NE(normalsCopy, nullptr);
  EXPECT_FLOAT_EQ(normalsCopy->GetBumpCoefficient(), 3.0f);
  // The loaded scene's textures are all found for the cache.
  Array<Object*> textures(8, 8);
  loaded->CollectByType(Texture::TYPE, textures);
  std::set<Object*> distinct(textures.begin(), textures.end());
  EXPECT_EQ(distinct.size(), 4u);
}

}  // namespace
}  // namespace klx
