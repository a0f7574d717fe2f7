#include "valley.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sound/sound_node.h"
#include "sound/sound_node2.h"
#include "characters.h"
#include "light_map.h"
#include "particle_effects.h"
#include "media_folder.h"
#include "car_model.h"
#include "mesh_builder.h"
#include "motion.h"
#include "random.h"
#include "render/effects/grass_effect.h"
#include "render/effects/lit_effect.h"
#include "render/effects/material_effects.h"
#include "render/effects/second_map_effects.h"
#include "render/effects/shadowmap_effect.h"
#include "render/effects/sprite_effect.h"
#include "render/effects/screenspace_texture_controllers.h"
#include "render/effects/texture_controllers.h"
#include "render/effects/water_effect.h"
#include "render/texture.h"
#include "animation/animation_controller.h"
#include "animation/sound_node_animation.h"
#include "core/result.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"
#include "sounds.h"
#include "textures.h"
#include "views.h"
#include "world.h"

namespace klx::scenebuild {
namespace {

using content::Rgba;

constexpr float kPi = 3.14159265f;

Color ToColor(const Rgba& c) { return Color{c.r, c.g, c.b, c.a}; }

struct EffectOptions {
  bool cull = true;
  bool fog = true;
  bool alphaTest = false;
  bool additive = false;
};

// Sets up a texture effect (of any kind) with the valley's options.
void SetUp(TextureEffect* effect, Texture* texture, const EffectOptions& options);

Ref<TextureEffect> MakeEffect(const char* name, Texture* texture, const EffectOptions& options) {
  Ref<TextureEffect> effect(new TextureEffect(String(name)));
  SetUp(effect.Get(), texture, options);
  return effect;
}

// Swaying in the wind by the height in the picture: v = 1 at the roots (or
// the trunk's foot), which stay, and 0 at the top, which moves most.
Ref<GrassEffect> MakeSwayingEffect(const char* name, Texture* texture, const EffectOptions& options,
                                   float amplitude, float speed) {
  Ref<GrassEffect> effect(new GrassEffect(String(name)));
  SetUp(effect.Get(), texture, options);
  effect->SetSwaySet(0);
  effect->windAmplitude = amplitude;
  effect->windSpeed = speed;
  return effect;
}

void SetUp(TextureEffect* effect, Texture* texture, const EffectOptions& options) {
  effect->SetTexture(texture);
  effect->SetColor(Color{1, 1, 1, 1});
  effect->cull = options.cull;
  if (options.alphaTest) {
    effect->alphaTest = true;
    effect->alphaReference = 128;
  }
  if (options.additive) {
    effect->blend = true;
    effect->sourceBlend = 4;       // source alpha
    effect->destinationBlend = 1;  // one
    effect->depthWrite = false;
  }
  if (options.fog) {
    effect->fogColor = ToColor(HazeColour());
    effect->fogDensity = 0.0022f;
    effect->fogExponent = 2.0f;
    effect->SetFogEnable(true);
  }
}

void Place(Node& node, const Vector3& position) {
  SetTranslation(node.LocalTransform(), position);
}

Vector3 OnGround(float x, float z, float lift = 0.0f) { return Vector3{x, GroundHeight(x, z) + lift, z}; }

// The ground's colours times the light map baked with the hills' and trees'
// shadows, both laid over the whole terrain.
Ref<Triangles> BuildTerrain(Texture* texture, Texture* light) {
  MeshBuilder mesh;
  const int cells = 104;
  const float step = kWorldSize / cells, half = kWorldSize * 0.5f;
  for (int j = 0; j <= cells; ++j) {
    for (int i = 0; i <= cells; ++i) {
      const float x = -half + i * step, z = -half + j * step;
      mesh.Vertex(Vector3{x, GroundHeight(x, z), z}, Vector2{(x + half) / kWorldSize, (half - z) / kWorldSize});
    }
  }
  for (int j = 0; j < cells; ++j) {
    for (int i = 0; i < cells; ++i) {
      const int32_t v00 = j * (cells + 1) + i, v10 = v00 + 1, v01 = v00 + cells + 1, v11 = v01 + 1;
      mesh.Quad(v00, v01, v11, v10);  // clockwise seen from above
    }
  }
  Ref<LightmapTextureEffect> effect(new LightmapTextureEffect(String("TerrainEffect")));
  SetUp(effect.Get(), texture, {});
  effect->SetLightmap(light);
  effect->SetSecondTexCoordSet(0);
  return mesh.Build("Terrain", effect.Get());
}

// The lake is still water: it mirrors the hills, the trees, the sky and
// the car, shows its bed near the shore, and its ripples (a normal map the
// normal-map controller makes from the ripples' heights at load) scroll
// slowly against each other. Without pixel shader 2.0 it is drawn as its
// painted texture. The node sits at the water level with the surface at
// its own y = 0: the maps are drawn about the node's height.
Ref<Triangles> BuildWater(Texture* texture, Texture* ripples) {
  MeshBuilder mesh(true);
  const float x0 = -75.0f, x1 = 125.0f, z0 = 35.0f, z1 = 180.0f;
  const Vector3 up{0, 1, 0};
  const int32_t a = mesh.Vertex(Vector3{x0, 0, z0}, Vector2{0, 1}, up);
  const int32_t b = mesh.Vertex(Vector3{x0, 0, z1}, Vector2{0, 0}, up);
  const int32_t c = mesh.Vertex(Vector3{x1, 0, z1}, Vector2{1, 0}, up);
  const int32_t d = mesh.Vertex(Vector3{x1, 0, z0}, Vector2{1, 1}, up);
  mesh.Quad(a, b, c, d);
  Ref<ReflectiveRefractiveQuietFlatWaterEffect> effect(
      new ReflectiveRefractiveQuietFlatWaterEffect(String("LakeEffect")));
  SetUp(effect.Get(), texture, {});
  // The refraction is tinted by the colour: the lake bed seen through
  // greenish water.
  effect->SetColor(Color{0.62f, 0.74f, 0.72f, 1});
  Ref<NormalmapTextureController> bumps(new NormalmapTextureController(String("RippleNormals")));
  bumps->SetBumpCoefficient(4.0f);
  if (ripples->AttachController(bumps.Get()) != kOk) return Ref<Triangles>();
  effect->SetNormalmap(ripples);
  effect->SetSecondTexCoordSet(0);
  // About 12 ripple tiles across the lake, drifting 0.15 of a tile round
  // a circle every 8 seconds.
  effect->normalmapScale = Vector2{12.0f, 9.0f};
  effect->waveAmplitude = 0.15f;
  effect->waveSpeed = 0.785f;
  effect->reflectionDistortion = 0.12f;
  effect->refractionDistortion = 0.06f;
  Ref<Triangles> lake = mesh.Build("Lake", effect.Get());
  SetTranslation(lake->LocalTransform(), Vector3{0, kWaterLevel, 0});
  return lake;
}

// The lake's maps: what its surface mirrors, and what lies under it.
bool FillWaterMaps(Triangles& lake, const std::vector<Node*>& mirrored, const std::vector<Node*>& underwater) {
  auto* effect = DynamicCast<ReflectiveRefractiveQuietFlatWaterEffect>(lake.GetEffect());
  if (effect == nullptr || effect->GetReflectionMap() == nullptr || effect->GetRefractionMap() == nullptr) return false;
  auto* reflect = dynamic_cast<ScreenspaceTextureController*>(effect->GetReflectionMap()->GetController(0));
  auto* refract = dynamic_cast<ScreenspaceTextureController*>(effect->GetRefractionMap()->GetController(0));
  if (reflect == nullptr || refract == nullptr) return false;
  for (Node* node : mirrored) reflect->AddNode(node);
  for (Node* node : underwater) refract->AddNode(node);
  return true;
}

Ref<Triangles> BuildSky(Texture* texture) {
  MeshBuilder mesh;
  const int rings = 14, segments = 36;
  const float radius = 1400.0f;
  for (int r = 0; r <= rings; ++r) {
    const float v = static_cast<float>(r) / rings;
    const float elevation = kPi * 0.5f - v * (kPi * 0.5f - kSkyLowest);
    for (int s = 0; s <= segments; ++s) {
      const float u = static_cast<float>(s) / segments;
      const float azimuth = u * 2.0f * kPi;
      mesh.Vertex(Vector3{radius * std::cos(elevation) * std::sin(azimuth), radius * std::sin(elevation) - 60.0f,
                          radius * std::cos(elevation) * std::cos(azimuth)},
                  Vector2{u, v});
    }
  }
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const int32_t a = r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
      mesh.Quad(a, b, d, c);
    }
  }
  return mesh.Build("Sky", MakeEffect("SkyEffect", texture, {false, false, false, false}).Get());
}

Ref<Triangles> BuildRoad(Texture* texture) {
  MeshBuilder mesh;
  const float step = 3.0f;
  int32_t previousLeft = -1, previousRight = -1;
  for (float z = -208.0f; z <= 208.0f; z += step) {
    const float x = RoadCentreX(z);
    const Vector3 centre{x, GroundHeight(x, z) + 0.12f, z};
    const Vector3 ahead = Normalize(Vector3{RoadCentreX(z + 0.5f) - RoadCentreX(z - 0.5f), 0, 1.0f});
    const Vector3 right = Normalize(Vector3{ahead.z, 0, -ahead.x});
    const float v = z / 14.0f;
    const int32_t left = mesh.Vertex(centre - right * kRoadHalfWidth, Vector2{0, v});
    const int32_t rightVertex = mesh.Vertex(centre + right * kRoadHalfWidth, Vector2{1, v});
    if (previousLeft >= 0) mesh.Quad(previousLeft, left, rightVertex, previousRight);
    previousLeft = left;
    previousRight = rightVertex;
  }
  return mesh.Build("Road", MakeEffect("RoadEffect", texture, {}).Get());
}

// Trees and grass where the ground suits them.
struct Planting {
  std::vector<TreeShape> trees;
  Ref<Triangles> conifers, broadleaves;
  Ref<GrassEffect> broadleafEffect;
  Ref<SceneNode> grass;
};

Planting Plant(Texture* conifer, Texture* broadleaf, Texture* grassTuft) {
  content::Random random(7);
  Planting planting;
  MeshBuilder conifers, broadleaves;
  int placed = 0;
  for (int attempt = 0; attempt < 4000 && placed < 190; ++attempt) {
    const float x = random.Range(-200.0f, 200.0f), z = random.Range(-200.0f, 200.0f);
    const float h = GroundHeight(x, z);
    if (h < 1.5f || RoadDistance(x, z) < 9.0f || GroundNormal(x, z).y < 0.8f) continue;
    // Denser on the slopes, sparse on the valley floor.
    if (random.Unit() > 0.15f + std::min(h / 25.0f, 0.8f)) continue;
    ++placed;
    const Vector3 base = OnGround(x, z, -0.3f);
    if (random.Unit() < 0.7f) {
      const float tall = random.Range(9.0f, 17.0f);
      AddCrossedQuads(conifers, base, tall * 0.5f, tall, random.Range(0.0f, kPi));
      planting.trees.push_back(TreeShape{base, tall, tall * 0.22f, true});
    } else {
      const float tall = random.Range(7.0f, 11.0f);
      AddCrossedQuads(broadleaves, base, tall, tall, random.Range(0.0f, kPi));
      planting.trees.push_back(TreeShape{base, tall, tall * 0.4f, false});
    }
  }
  EffectOptions cutout{false, true, true, false};
  // The crowns move a little in the evening breeze; the grass more.
  planting.conifers =
      conifers.Build("Conifers", MakeSwayingEffect("ConiferEffect", conifer, cutout, 0.18f, 0.9f).Get());
  planting.broadleafEffect = MakeSwayingEffect("BroadleafEffect", broadleaf, cutout, 0.22f, 1.1f);
  planting.broadleaves = broadleaves.Build("Broadleaves", planting.broadleafEffect.Get());

  // Grass in four patches of the valley floor (each its own node, so each
  // is culled on its own).
  planting.grass = new SceneNode(String("Grass"));
  Ref<GrassEffect> grassEffect = MakeSwayingEffect("GrassEffect", grassTuft, cutout, 0.12f, 1.7f);
  for (int patch = 0; patch < 4; ++patch) {
    MeshBuilder tufts;
    const float cx = -60.0f + 40.0f * patch, cz = -40.0f + 25.0f * patch;
    for (int i = 0; i < 160; ++i) {
      const float x = cx + random.Range(-35.0f, 35.0f), z = cz + random.Range(-35.0f, 35.0f);
      const float h = GroundHeight(x, z);
      if (h < 0.8f || h > 12.0f || RoadDistance(x, z) < kRoadHalfWidth + 1.0f) continue;
      const float size = random.Range(0.6f, 1.1f);
      AddCrossedQuads(tufts, OnGround(x, z, -0.05f), size * 1.6f, size, random.Range(0.0f, kPi));
    }
    if (!tufts.Empty()) {
      const std::string name = "GrassPatch" + std::to_string(patch + 1);
      planting.grass->AttachChild(tufts.Build(name.c_str(), grassEffect.Get()).Get());
    }
  }
  return planting;
}

// The car, built round its own origin facing +z, driving its loop.
Ref<SceneNode> BuildCar(Palette& palette, TextureEffect* paletteEffect, const Loop& drive) {
  MeshBuilder mesh(true);
  AddCarBody(mesh, palette);
  Ref<SceneNode> car(new SceneNode(String("CarGroup")));
  car->AttachChild(mesh.Build("CarBody", paletteEffect).Get());
  Place(*car, drive.poses.front().position);
  SetRotation(car->LocalTransform(), drive.poses.front().rotation);
  if (car->AttachController(MakeLoopController("CarDrive", drive).Get()) != kOk) return Ref<SceneNode>();
  return car;
}

Ref<SceneNode> BuildCampfire(Palette& palette, TextureEffect* paletteEffect, Texture* flame, const Vector3& at) {
  MeshBuilder stones(true);
  content::Random random(99);
  for (int i = 0; i < 9; ++i) {
    const float angle = 2.0f * kPi * i / 9;
    const float grey = random.Range(0.35f, 0.5f);
    AddBox(stones, palette, {0.95f * std::cos(angle), 0.12f, 0.95f * std::sin(angle)},
           {random.Range(0.16f, 0.24f), random.Range(0.1f, 0.16f), random.Range(0.14f, 0.2f)}, angle,
           Rgba{grey, grey * 0.95f, grey * 0.9f, 1});
  }
  for (int i = 0; i < 3; ++i) {
    AddBox(stones, palette, {0, 0.14f + 0.05f * i, 0}, {0.09f, 0.09f, 0.75f}, kPi * i / 3, Rgba{0.3f, 0.2f, 0.12f, 1});
  }
  // The glow the fire casts on its stones and logs is in the flame picture.
  MeshBuilder flames;
  // The fire's steady core; the flickering tongues, smoke and sparks are
  // particles.
  AddCrossedQuads(flames, {0, 0.05f, 0}, 1.0f, 1.3f, 0.3f);
  AddCrossedQuads(flames, {0.1f, 0.05f, -0.05f}, 0.7f, 1.0f, 1.1f);
  Ref<SceneNode> fire(new SceneNode(String("Campfire")));
  fire->AttachChild(stones.Build("CampfireStones", paletteEffect).Get());
  fire->AttachChild(flames.Build("Flames", MakeEffect("FlameEffect", flame, {false, false, false, true}).Get()).Get());
  Place(*fire, at);
  return fire;
}

// Embers glowing in the fire bed: point sprites in world space, added to
// the frame. The particle systems will throw sparks with the same effect.
Ref<Points> BuildEmbers(Texture* spark, const Vector3& fireAt) {
  content::Random random(123);
  std::vector<Vector3> positions;
  std::vector<float> sizes;
  std::vector<Color> colours;
  std::vector<Vector2> uv;
  std::vector<int32_t> indices;
  for (int i = 0; i < 14; ++i) {
    const float angle = random.Range(0.0f, 2.0f * kPi), reach = random.Range(0.0f, 0.6f);
    positions.push_back(fireAt + Vector3{reach * std::cos(angle), random.Range(0.04f, 0.14f), reach * std::sin(angle)});
    sizes.push_back(random.Range(3.0f, 6.0f));
    const float heat = random.Range(0.5f, 1.0f);
    colours.push_back(Color{1.0f, 0.35f + 0.4f * heat, 0.1f * heat, 0.6f + 0.4f * heat});
    uv.push_back(Vector2{0.5f, 0.5f});
    indices.push_back(i);
  }
  const auto count = static_cast<int32_t>(positions.size());
  Ref<Points> embers(new Points(String("Embers")));
  embers->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), count, positions.data())).Get());
  embers->SetPointSizeBuffer(Ref<FloatBuffer>(new FloatBuffer(String(), count, sizes.data())).Get());
  embers->SetColorBuffer(Ref<ColorBuffer>(new ColorBuffer(String(), count, colours.data())).Get());
  embers->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), count, uv.data())).Get());
  embers->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), count, indices.data())).Get());
  embers->UpdateModelBound();
  Ref<SpriteEffect> effect(new SpriteEffect(String("SparkEffect")));
  effect->SetTexture(spark);
  embers->SetEffect(effect.Get());
  return embers;
}

Ref<SoundNode> MakeSound(MediaFolder& media, const char* name, const char* file, bool is3D, bool loop, int volume,
                         float minDistance) {
  Ref<SoundNode> node(new SoundNode(String(name)));
  node->SetLoop(loop);
  node->SetMinDistance(minDistance);
  node->LoadSound(media.Find(file), is3D);
  node->SetVolume(volume);
  return node;
}

// A point of dry ground near (x, z), searching outwards.
Vector3 DryGround(float x, float z, float minHeight) {
  for (float r = 0.0f; r < 60.0f; r += 2.0f) {
    for (int k = 0; k < 12; ++k) {
      const float px = x + r * std::cos(k * kPi / 6), pz = z + r * std::sin(k * kPi / 6);
      if (GroundHeight(px, pz) > minHeight && RoadDistance(px, pz) > 8.0f) return OnGround(px, pz);
    }
  }
  return OnGround(x, z);
}

// The low sun's shadows over the land: the trees, the car, the campfire's
// stones and the person by the fire cast them; the ground, the road, the
// car and the person take them (the tree cards and the grass, drawn
// alpha-tested, take none). A 1024 x 1024 map fitted to each view; one
// filtered test a pixel, which keeps the second drawing of the ground cheap
// enough on a machine that draws on its processor.
bool CastShadows(SceneNode& land, Light* sun, const std::vector<Node*>& casters) {
  Ref<ShadowmapEffect> shadows(new ShadowmapEffect(String("SunShadows")));
  Ref<Texture> map(new Texture(String("SunShadowMap")));
  map->SetImage(Ref<Image>(new Image(String(), kImageDepthTarget, 1024, 1024)).Get());
  shadows->SetShadowMap(map.Get());
  shadows->SetLight(sun);
  shadows->shadowColor = Color{0.05f, 0.06f, 0.14f, 0.55f};
  shadows->flags = 0;
  shadows->depthBias = 400.0f;
  shadows->slopeBias = 3.0f;
  for (Node* caster : casters) shadows->AddCaster(caster);
  land.AddEffect(shadows.Get());
  return land.GetEffectCount() == 1;
}

}  // namespace

Ref<SceneNode> BuildValley(MediaFolder& media) {
  // Textures.
  bool ok = media.AddPicture("sky.tga", PaintSky(1024, 768), false) &&
            media.AddPicture("lake.tga", PaintWater(512), false) &&
            media.AddImage("ripples.bmp", PaintRipples(256).Get()) &&
            media.AddPicture("road.tga", PaintRoad(256, 1024), false) &&
            media.AddPicture("conifer.tga", PaintConifer(128, 256), true) &&
            media.AddPicture("broadleaf.tga", PaintBroadleaf(256), true) &&
            media.AddPicture("grass.tga", PaintGrassTuft(128, 64), true) &&
            media.AddPicture("flame.tga", PaintFlame(64, 128), true) &&
            media.AddPicture("spark.tga", PaintSpark(32), true) &&
            media.AddPicture("glow.tga", PaintGlow(64), true) &&
            media.AddPicture("smoke.tga", PaintSmoke(64), true) &&
            media.AddPicture("leaves.tga", PaintLeaves(64), true);
  // Sounds, each with its own Ogg serial number.
  ok = ok && media.AddSound("music.ogg", SynthesizeMusic(), 0.1f, 1) &&
       media.AddSound("engine.ogg", SynthesizeEngineHum(), 0.0f, 2) &&
       media.AddSound("fire.ogg", SynthesizeFire(), 0.0f, 3) &&
       media.AddSound("waves.ogg", SynthesizeWaves(), 0.0f, 4) &&
       media.AddSound("chirps.ogg", SynthesizeChirps(), 0.0f, 5) &&
       media.AddSound("trill.ogg", SynthesizeTrill(), 0.0f, 6);
  if (!ok) return Ref<SceneNode>();

  // The trees first: the foliage and the fire-side tree place themselves
  // by them.
  Planting planting = Plant(media.MakeTexture("conifer.tga").Get(), media.MakeTexture("broadleaf.tga").Get(),
                            media.MakeTexture("grass.tga").Get());
  // Leaves sway round the broadleaf crowns (not the tree by the fire,
  // which its close view hides).
  Ref<Foliage> foliage = BuildFoliage(planting.trees, media.MakeTexture("leaves.tga").Get());
  const Vector3 fireAt = DryGround(12.0f, 32.0f, 1.2f);
  const Vector3 treeAt = fireAt + kFireCloseView * 3.6f;
  const Vector3 fireSideFoot = OnGround(treeAt.x, treeAt.z, -0.3f);
  planting.trees.push_back(TreeShape{fireSideFoot, 7.0f, 2.0f, false});
  if (!media.AddPicture("terrain.tga", PaintTerrain(2048), false) ||
      // The hills' shadows are baked into the light map; the trees' fall at
      // run time from the shadow map, with the car's and the person's.
      // The campfire lights the ground round it.
      !media.AddPicture("terrain_light.tga",
                        PaintTerrainLight(512, {}, {GroundGlow{fireAt, 5.0f, Vector3{1.0f, 0.36f, 0.08f}}}), false)) {
    return Ref<SceneNode>();
  }

  Ref<SceneNode> root(new SceneNode(String("Valley")));
  Ref<Triangles> sky = BuildSky(media.MakeTexture("sky.tga").Get());
  root->AttachChild(sky.Get());
  Ref<Triangles> terrain =
      BuildTerrain(media.MakeTexture("terrain.tga").Get(), media.MakeTexture("terrain_light.tga").Get());
  // The land takes the sun's shadows: the ground, the road and what
  // stands on them.
  Ref<SceneNode> land(new SceneNode(String("Land")));
  root->AttachChild(land.Get());
  land->AttachChild(terrain.Get());
  Ref<Triangles> lake = BuildWater(media.MakeTexture("lake.tga").Get(), media.MakeTexture("ripples.bmp").Get());
  if (!lake) return Ref<SceneNode>();
  root->AttachChild(lake.Get());
  land->AttachChild(BuildRoad(media.MakeTexture("road.tga").Get()).Get());
  land->AttachChild(planting.conifers.Get());
  land->AttachChild(planting.broadleaves.Get());
  land->AttachChild(planting.grass.Get());
  root->AttachChild(foliage.Get());

  // The evening sun.
  Ref<Light> sun(new Light(String("Sun"), Light::kDirectional));
  const Vector3 toSun = SunDirection();
  sun->diffuse = Color{1.0f, 0.72f, 0.45f, 1};
  sun->ambient = Color{0.3f, 0.32f, 0.42f, 1};
  {
    const Vector3 forward = -toSun;
    const Vector3 right = Normalize(Vector3{0, 1, 0}.Cross(forward));
    SetRotation(sun->LocalTransform(), Quaternion::FromRows(right, forward.Cross(right), forward));
  }
  root->AttachChild(sun.Get());
  std::vector<Node*> shadowCasters = {planting.conifers.Get(), planting.broadleaves.Get()};

  // Simple objects share one palette texture, painted as they are built
  // and written last. The car and the campfire's stones are lit by the low
  // sun (per pixel where the machine can), the car with a little gloss;
  // the rest has the evening light painted into its colours.
  Palette palette;
  Ref<Texture> paletteTexture(new Texture(String("palette.tga")));
  Ref<Texture1DLEffect> sunlitEffect(new Texture1DLEffect(String("SunlitPaletteEffect")));
  SetUp(sunlitEffect.Get(), paletteTexture.Get(), {});
  sunlitEffect->SetLight(sun.Get());
  sunlitEffect->ambient = Color{1, 1, 1, 1};
  sunlitEffect->diffuse = Color{1, 1, 1, 1};
  sunlitEffect->specular = Color{0.35f, 0.33f, 0.3f, 1};
  sunlitEffect->specularPower = 24.0f;
  const float carZ = -20.0f;
  // Round the road in a loop, starting where the views of the car expect it.
  const Loop drive = CarLoop(carZ);
  Ref<SceneNode> car = BuildCar(palette, sunlitEffect.Get(), drive);
  if (!car) return Ref<SceneNode>();
  car->AttachChild(MakeSound(media, "Car", "engine.ogg", true, true, 100, 6.0f).Get());
  land->AttachChild(car.Get());
  shadowCasters.push_back(car.Get());
  Ref<SceneNode> campfire = BuildCampfire(palette, sunlitEffect.Get(), media.MakeTexture("flame.tga").Get(), fireAt);
  campfire->AttachChild(MakeSound(media, "Fire", "fire.ogg", true, true, 90, 3.0f).Get());
  land->AttachChild(campfire.Get());
  shadowCasters.push_back(campfire.Get());
  // One texture object a picture: the saver caches each once.
  Ref<Texture> spark = media.MakeTexture("spark.tga");
  root->AttachChild(BuildEmbers(spark.Get(), fireAt).Get());
  Ref<Texture> glow = media.MakeTexture("glow.tga");
  root->AttachChild(BuildFireParticles(glow.Get(), media.MakeTexture("smoke.tga").Get(), spark.Get(), fireAt).Get());
  if (!AddHeadlights(*car, glow.Get())) return Ref<SceneNode>();
  Ref<Flare> sunFlare = BuildSunFlare(glow.Get(), SunDirection());
  root->AttachChild(sunFlare.Get());
  // Fireflies over the meadow between the fire and the lake as dusk falls.
  root->AttachChild(BuildFireflies(glow.Get(), OnGround(2.0f, 46.0f, 1.0f)).Get());
  // Someone sitting on a log across the fire from the close view, a little
  // to its side, facing the fire; lit by the sun like the stones.
  {
    const Vector3 away = RotateY(kFireCloseView * -1.0f, 0.55f);
    const Vector3 seat = OnGround(fireAt.x + 1.75f * away.x, fireAt.z + 1.75f * away.z, -0.04f);
    Ref<Texture1DLEffect> sitterEffect(new Texture1DLEffect(String("FireSitterEffect")));
    SetUp(sitterEffect.Get(), paletteTexture.Get(), {});
    sitterEffect->SetLight(sun.Get());
    sitterEffect->ambient = Color{1, 1, 1, 1};
    sitterEffect->diffuse = Color{1, 1, 1, 1};
    sitterEffect->specular = Color{0.1f, 0.1f, 0.1f, 1};
    sitterEffect->specularPower = 8.0f;
    Ref<SceneNode> sitter = BuildFireSitter(palette, sitterEffect.Get(), seat, fireAt - seat);
    if (!sitter) return Ref<SceneNode>();
    land->AttachChild(sitter.Get());
    shadowCasters.push_back(sitter.Get());
  }
  // A tree by the fire, between it and one of its views.
  MeshBuilder fireSide;
  AddCrossedQuads(fireSide, fireSideFoot, 4.5f, 7.0f, 0.4f);
  Ref<Triangles> fireSideTree = fireSide.Build("FireSideTree", planting.broadleafEffect.Get());
  land->AttachChild(fireSideTree.Get());
  shadowCasters.push_back(fireSideTree.Get());
  if (!CastShadows(*land, sun.Get(), shadowCasters)) return Ref<SceneNode>();
  // Three flocks over the lake on tracks of different periods. The first
  // calls while it sweeps low along the near shore (the quarter of its
  // track either side of phase 0) and is quiet on the far side.
  struct FlockPlan {
    const char* name;
    uint32_t seed;
    int birds;
    Circle circle;
    double period;
  };
  const FlockPlan flocks[] = {
      {"Flock1", 5, 5, {20.0f, 100.0f, 48.0f, 14.0f, 42.0f, false}, 46.0},
      {"Flock2", 6, 3, {45.0f, 125.0f, 34.0f, 30.0f, 55.0f, true}, 31.0},
      {"Flock3", 8, 4, {-5.0f, 95.0f, 62.0f, 38.0f, 60.0f, false}, 67.0},
  };
  Ref<SceneNode> viewedFlock;
  std::vector<Node*> mirrored = {sky.Get(), terrain.Get(), planting.conifers.Get(), planting.broadleaves.Get(),
                                 car.Get(), campfire.Get(), sunFlare.Get()};
  for (const FlockPlan& plan : flocks) {
    // Each flock is one skinned mesh, and an effect holds one skin.
    Ref<TextureEffect> birdEffect =
        MakeEffect((std::string(plan.name) + "Effect").c_str(), paletteTexture.Get(), {false, true, false, false});
    Ref<SceneNode> flock =
        BuildFlock(palette, birdEffect.Get(), plan.name, plan.seed, plan.birds, plan.circle, plan.period);
    if (!flock) return Ref<SceneNode>();
    // One view watches the last flock pass; a cut to it starts that
    // flock's track over, so it is not the calling one, whose calls run on
    // a track of their own.
    viewedFlock = flock;
    if (plan.seed == flocks[0].seed) {
      Ref<SoundNode> calls = MakeSound(media, "BirdCalls", "chirps.ogg", true, true, 90, 20.0f);
      if (calls->AttachController(MakeSoundWindow("BirdCallsNearShore", plan.period, 0.75, 0.25).Get()) != kOk)
        return Ref<SceneNode>();
      flock->AttachChild(calls.Get());
    }
    root->AttachChild(flock.Get());
    mirrored.push_back(flock.Get());
  }
  // The lake mirrors the sky, the hills and what stands or flies over it,
  // and shows its bed; the grass and the small lights are left out of the
  // maps, which would cost more than they would show.
  if (!FillWaterMaps(*lake, mirrored, {terrain.Get()})) return Ref<SceneNode>();
  if (!media.AddPicture("palette.tga", palette.Picture(), false)) return Ref<SceneNode>();
  paletteTexture->SetImage(Ref<Image>(new Image(media.Find("palette.tga"), String("palette.tga"))).Get());

  // Sounds of the place.
  root->AttachChild(MakeSound(media, "Music", "music.ogg", false, true, 70, 3.4028235e38f).Get());
  Ref<SoundNode> waves = MakeSound(media, "Waves", "waves.ogg", true, true, 80, 12.0f);
  Place(*waves, Vector3{-10.0f, 0.5f, 55.0f});
  root->AttachChild(waves.Get());
  Ref<SoundNode2> songbirds(new SoundNode2(String("Songbirds")));
  songbirds->SetFileNames(String("chirps.ogg"), String("trill.ogg"));
  songbirds->SetTiming(7.0f, 4.0f);
  songbirds->Set3D(true);
  songbirds->SetMinDistance(25.0f);
  songbirds->LoadSounds();
  songbirds->SetVolume(85);
  Place(*songbirds, OnGround(-95.0f, 30.0f, 12.0f));
  root->AttachChild(songbirds.Get());


  // The views and the sets they are shown in.
  Subjects subjects;
  subjects.car = car.Get();
  subjects.carLoop = &drive;
  subjects.campfire = campfire.Get();
  subjects.flock = viewedFlock.Get();
  subjects.fireSideTree = fireSideTree.Get();
  if (!AddViews(*root, subjects)) return Ref<SceneNode>();

  root->UpdateGeometricState(0.0, false);
  return root;
}

}  // namespace klx::scenebuild
