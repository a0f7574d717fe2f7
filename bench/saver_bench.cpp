// The saver's own work on the demo at 1280x720 on the offscreen driver:
// loading and caching the scene, and a frame of update, scene, fade and
// overlay. "engine_ms" is the time spent before the frame is handed to the
// driver (update, culling and draw submission); the rest of a frame is the
// GL driver finishing it.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "app/overlay.h"
#include "animation/screensaver_controller.h"
#include "app/scene_saver.h"
#include "assets/codecs/image_codecs.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "render/device_renderer.h"
#include "render/effects/grass_effect.h"
#include "render/effects/lit_effect.h"
#include "render/effects/second_map_effects.h"
#include "render/effects/sprite_effect.h"
#include "render/effects/shadowmap_effect.h"
#include "render/effects/water_effect.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "vfs/file_manager.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

class BenchSaver : public SceneSaver {
 public:
  using SaverApplication::CreateOverlayRenderData;
  using SaverApplication::ReleaseOverlayRenderData;
};

// Starts the engine with the saver's codecs and archives and a 1280x720
// renderer; null (and the engine stopped) when that cannot be had.
DeviceRenderer* StartSaverEngine(benchmark::State& state) {
  if (EngineStart() != kOk) {
    state.SkipWithError("engine start failed");
    return nullptr;
  }
  DeviceRenderer* renderer = OpenOffscreenRenderer(1280, 720, "bench");
  const bool ready = renderer != nullptr && LoadBuiltinImageCodecs() == kOk &&
                     CodecManager::LoadCodec(String("RAR2FileCodec"), nullptr) == kOk &&
                     CodecManager::LoadCodec(String("STRSceneCodec"), nullptr) == kOk &&
                     FileManager::AttachResourceArchive(134, String("CustomData.rar2"), String()) == kOk &&
                     FileManager::AttachResourceArchive(227, String("Media.rar2"), String()) == kOk;
  if (!ready) {
    state.SkipWithError("no GL renderer or no saver archives");
    if (renderer != nullptr) ReleaseRenderer();
    EngineStop();
    return nullptr;
  }
  return renderer;
}

void StopSaverEngine() {
  ReleaseRenderer();
  EngineStop();
}

// Frames as the frame loop draws them, at 60 steps a second, each finished
// by the driver inside the measurement; with `overlay` the clock and frame
// rate too. Reports the frame rate and the engine's share of a frame.
void MeasureFrames(benchmark::State& state, BenchSaver& saver, DeviceRenderer& renderer, bool overlay) {
  double engineSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    (void)saver.Update(1.0 / 60.0);
    renderer.Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    if (renderer.BeginFrame() != kOk) continue;
    (void)saver.Render();
    if (overlay) saver.GetOverlay()->Draw(renderer, true, 60.0, true, false);
    engineSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    renderer.EndFrame();
    std::vector<uint8_t> pixel;
    renderer.GetDevice()->ReadPixels(0, 0, 1, 1, &pixel);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["engine_ms"] = 1000.0 * engineSeconds / static_cast<double>(state.iterations());
}

// "Main.STR" read and loaded, then every texture uploaded (without the
// pause that follows).
void BM_SaverLoadAndCache(benchmark::State& state) {
  DeviceRenderer* renderer = StartSaverEngine(state);
  if (renderer == nullptr) return;
  double cacheSeconds = 0;
  for (auto _ : state) {
    Ref<BenchSaver> saver(new BenchSaver());
    saver->SetCachePause(0);
    if (saver->CreateSaverData() != kOk) return state.SkipWithError("the demo did not load");
    const auto cacheStart = std::chrono::steady_clock::now();
    if (saver->CacheSaverData() != kOk) return state.SkipWithError("caching failed");
    cacheSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - cacheStart).count();
    (void)saver->ReleaseSaverData();
  }
  state.counters["cache_ms"] = 1000.0 * cacheSeconds / static_cast<double>(state.iterations());
  StopSaverEngine();
}
BENCHMARK(BM_SaverLoadAndCache)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The demo's effects of one class swapped for plain texture effects with
// the same texture and states (sprites are switched off instead), to see
// what that class costs a frame.
const RTTI* const kPlainedClasses[] = {nullptr,
                                       &LightmapTextureEffect::TYPE,
                                       &GrassEffect::TYPE,
                                       &Texture1DLEffect::TYPE,
                                       &SpriteEffect::TYPE,
                                       &ReflectiveRefractiveQuietFlatWaterEffect::TYPE};
// The last argument: the shadow-map effects taken off instead.
constexpr int64_t kWithoutShadows = 6;

int32_t MakePlain(Object* root, const RTTI& type) {
  Array<Object*> geometries(64, 64);
  root->CollectByType(GeometryNode::TYPE, geometries);
  int32_t swapped = 0;
  for (Object* object : geometries) {
    auto* geometry = static_cast<GeometryNode*>(object);
    Object* effectObject = geometry->GetEffect();
    if (effectObject == nullptr || !effectObject->GetRTTI().IsDerivedFrom(type)) continue;
    ++swapped;
    if (auto* sprite = DynamicCast<SpriteEffect>(effectObject)) {
      sprite->Disable();
      continue;
    }
    auto* from = static_cast<TextureEffect*>(effectObject);
    Ref<TextureEffect> plain(new TextureEffect(String("plain")));
    plain->SetTexture(from->GetTexture());
    plain->SetTexCoordSet(from->GetTexCoordSet());
    plain->SetColor(from->GetColor());
    plain->cull = from->cull;
    plain->alphaTest = from->alphaTest;
    plain->alphaReference = from->alphaReference;
    plain->blend = from->blend;
    plain->sourceBlend = from->sourceBlend;
    plain->destinationBlend = from->destinationBlend;
    plain->depthWrite = from->depthWrite;
    plain->fogColor = from->fogColor;
    plain->fogDensity = from->fogDensity;
    plain->fogExponent = from->fogExponent;
    plain->SetFogEnable(from->GetFogEnable());
    geometry->SetEffect(plain.Get());
  }
  return swapped;
}

// One frame as the frame loop draws it, at 60 steps a second; with an
// argument, one class of effects made plain (above).
void BM_SaverFrame(benchmark::State& state) {
  DeviceRenderer* renderer = StartSaverEngine(state);
  if (renderer == nullptr) return;
  {
    Ref<BenchSaver> saver(new BenchSaver());
    saver->SetCachePause(0);
    std::srand(42);  // the same camera sets every run, so the runs compare
    if (saver->CreateOverlayRenderData() != kOk || saver->CreateSaverData() != kOk ||
        saver->CacheSaverData() != kOk) {
      StopSaverEngine();
      return state.SkipWithError("the demo did not load");
    }
    if (state.range(0) == kWithoutShadows) {
      state.SetLabel("without shadows");
      state.counters["removed"] = RemoveShadowmapEffects(*saver->GetRoot());
    } else if (const RTTI* plained = kPlainedClasses[state.range(0)]) {
      state.SetLabel(std::string("without ") + plained->GetName().CStr());
      state.counters["swapped"] = MakePlain(saver->GetRoot(), *plained);
    }
    MeasureFrames(state, *saver, *renderer, true);
    (void)saver->ReleaseSaverData();
    (void)saver->ReleaseOverlayRenderData();
    (void)saver->ReleaseRenderData();
  }
  StopSaverEngine();
}
BENCHMARK(BM_SaverFrame)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

// The demo with the cuts stopped and one camera held, `prepare` run on the
// loaded scene first; each iteration a frame.
template <class Prepare>
void MeasureHeldView(benchmark::State& state, const char* cameraName, Prepare prepare) {
  DeviceRenderer* renderer = StartSaverEngine(state);
  if (renderer == nullptr) return;
  {
    Ref<BenchSaver> saver(new BenchSaver());
    saver->SetCachePause(0);
    if (saver->CreateSaverData() != kOk || saver->CacheSaverData() != kOk) {
      StopSaverEngine();
      return state.SkipWithError("the demo did not load");
    }
    Object* root = saver->GetRoot();
    Array<Object*> found(64, 64);
    root->CollectByType(ScreensaverController::TYPE, found);
    for (Object* controller : found) static_cast<ScreensaverController*>(controller)->SetActive(false);
    auto* camera = DynamicCast<Camera>(root->FindByName(String(cameraName)));
    if (camera == nullptr) {
      StopSaverEngine();
      return state.SkipWithError("the demo has no such camera");
    }
    renderer->SetCamera(camera);
    prepare(*root);
    MeasureFrames(state, *saver, *renderer, false);
    (void)saver->ReleaseSaverData();
    (void)saver->ReleaseRenderData();
  }
  StopSaverEngine();
}

// The close view of the campfire with the person by it: the skins blended
// by the vertex shaders (0) or, with every skin taken off its effect, on
// the processor (1).
void BM_FireSitterView(benchmark::State& state) {
  MeasureHeldView(state, "Camera09", [&](Object& root) {
    if (state.range(0) == 1) {
      Array<Object*> geometries(64, 64);
      root.CollectByType(GeometryNode::TYPE, geometries);
      for (Object* object : geometries) {
        if (auto* effect = DynamicCast<GeometryNodeEffect>(static_cast<GeometryNode*>(object)->GetEffect())) {
          if (effect->GetSkinController() != nullptr) effect->SetSkinController(nullptr);
        }
      }
    }
    state.SetLabel(state.range(0) == 0 ? "skins in the vertex shader" : "skins on the processor");
  });
}
BENCHMARK(BM_FireSitterView)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

// The view over the valley with the most shadows in it: with the sun's
// shadow map (0) and without (1).
void BM_ShadowedView(benchmark::State& state) {
  MeasureHeldView(state, "Camera03", [&](Object& root) {
    if (state.range(0) == 1) state.counters["removed"] = RemoveShadowmapEffects(root);
    state.SetLabel(state.range(0) == 0 ? "shadows" : "no shadows");
  });
}
BENCHMARK(BM_ShadowedView)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

// A view over the lake: the water mirroring the valley (0), or the lake
// drawn as its plain texture with no maps drawn (1).
void BM_LakeView(benchmark::State& state) {
  MeasureHeldView(state, "Camera08", [&](Object& root) {
    if (state.range(0) == 1) state.counters["swapped"] = MakePlain(&root, ReflectiveRefractiveQuietFlatWaterEffect::TYPE);
    state.SetLabel(state.range(0) == 0 ? "water" : "plain lake");
  });
}
BENCHMARK(BM_LakeView)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

// Every camera set of the demo held at its start with every effect on: the
// frame rate of each view, to find the one that costs most.
const char* const kDemoCameras[] = {"Camera01", "Camera02", "Camera03", "Camera04", "Camera05",
                                    "Camera06", "Camera07", "Camera08", "Camera09", "Camera10",
                                    "Camera11", "Camera12", "Camera17", "Camera18"};

void BM_DemoCameraView(benchmark::State& state) {
  const char* camera = kDemoCameras[state.range(0)];
  MeasureHeldView(state, camera, [&](Object&) { state.SetLabel(camera); });
}
BENCHMARK(BM_DemoCameraView)
    ->DenseRange(0, static_cast<int>(std::size(kDemoCameras)) - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(100);

}  // namespace
}  // namespace klx
