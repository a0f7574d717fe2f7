// klx-render: draws a scene headless and writes the last frame.
//
//   klx-render PATH [--mount ARCHIVE]... [--camera NAME] [--size WxH]
//              [--frames N] [--dt SECONDS] [--seed N] [--sequence DIR]
//              [--caps fixed|ps11|ps20] --out FILE.ppm
//
// PATH is a scene file, or a media archive whose "Main.STR" is loaded;
// --mount mounts further archives, and the files a scene names are found
// through the file manager as in the saver. The scene is updated N times
// (default 1) with the fixed step (default 0.04 s) and drawn each time.
// With --camera that camera stays on screen and the scene's camera sets do
// not cut; without it the sets cut as in the saver (a scene without sets
// shows its first camera). --seed fixes the random numbers that choose the
// sets; --sequence also writes every frame as DIR/frame_NNNNN.ppm. --caps
// holds the effects to a lower level than the machine's, to see each
// fallback: "fixed" without shaders, "ps11" with the 1.x shaders only,
// "ps20" with shaders up to 2.0. Without a
// display the offscreen video driver is used. Exit status 0 on success, 1
// on failure (the engine's log chain goes to standard error).

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/console_message_output.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "core/module_manager.h"
#include "render/device_renderer.h"
#include "scene/camera.h"
#include "animation/screensaver_controller.h"
#include "scene/node.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"
#include "sound/sound_manager.h"
#include "offscreen_renderer.h"

namespace {

using namespace klx;

struct Options {
  std::string path;
  std::vector<std::string> mounts;
  std::string camera;
  int width = 640;
  int height = 480;
  int frames = 1;
  double dt = 0.04;
  bool seeded = false;
  unsigned seed = 0;
  std::string sequence;
  std::string caps;
  std::string out;
};

// Lowers the renderer's capabilities to the level named; false for a name
// it does not know.
bool LimitCaps(DeviceRenderer* renderer, const std::string& level) {
  if (level.empty()) return true;
  RendererCaps caps = renderer->GetCaps();
  if (level == "fixed") {
    caps.vertexShaderLevel = caps.pixelShaderLevel = kShaderLevelNone;
  } else if (level == "ps11") {
    if (caps.vertexShaderLevel != kShaderLevelNone) caps.vertexShaderLevel = 0;
    if (caps.pixelShaderLevel != kShaderLevelNone) caps.pixelShaderLevel = 0;
  } else if (level == "ps20") {
    if (caps.vertexShaderLevel != kShaderLevelNone) caps.vertexShaderLevel = std::min(caps.vertexShaderLevel, 1);
    if (caps.pixelShaderLevel != kShaderLevelNone) caps.pixelShaderLevel = std::min(caps.pixelShaderLevel, 1);
  } else {
    return false;
  }
  renderer->OverrideCaps(caps);
  return true;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
  }
  return true;
}

bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--mount" && hasValue) {
      options->mounts.push_back(argv[++i]);
    } else if (arg == "--camera" && hasValue) {
      options->camera = argv[++i];
    } else if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &options->width, &options->height) != 2 || options->width <= 0 ||
          options->height <= 0 || options->width > 8192 || options->height > 8192) {
        return false;
      }
    } else if (arg == "--frames" && hasValue) {
      options->frames = std::atoi(argv[++i]);
      if (options->frames < 1 || options->frames > 100000) return false;
    } else if (arg == "--dt" && hasValue) {
      options->dt = std::atof(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      options->seeded = true;
      options->seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--sequence" && hasValue) {
      options->sequence = argv[++i];
    } else if (arg == "--caps" && hasValue) {
      options->caps = argv[++i];
      if (options->caps != "fixed" && options->caps != "ps11" && options->caps != "ps20") return false;
    } else if (arg == "--out" && hasValue) {
      options->out = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && options->path.empty()) {
      options->path = arg;
    } else {
      return false;
    }
  }
  return !options->path.empty() && !options->out.empty();
}

bool Mount(const std::string& path) {
  VirtualFile archive{String(path.c_str())};
  return FileManager::AttachArchive(&archive, String()) == kOk;
}

bool WritePpm(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) std::fwrite(&rgba[i], 1, 3, file);
  return std::fclose(file) == 0;
}

bool ReadFrame(DeviceRenderer* renderer, const Options& options, std::vector<uint8_t>* rgba) {
  auto* device = renderer->GetDevice();
  return device != nullptr &&
         device->ReadPixels(0, 0, static_cast<uint32_t>(options.width), static_cast<uint32_t>(options.height), rgba);
}

// Cameras by name for --camera; camera sets left to cut otherwise, or the
// first camera when the scene has no sets.
bool ChooseCamera(Node* root, DeviceRenderer* renderer, const Options& options) {
  Array<Object*> savers(2, 2);
  root->CollectByType(ScreensaverController::TYPE, savers);
  if (!options.camera.empty()) {
    auto* camera = DynamicCast<Camera>(root->FindByName(String(options.camera.c_str())));
    if (camera == nullptr) {
      std::fprintf(stderr, "klx-render: no camera named %s\n", options.camera.c_str());
      return false;
    }
    for (Object* saver : savers) static_cast<ScreensaverController*>(saver)->SetActive(false);
    renderer->SetCamera(camera);
    return true;
  }
  if (renderer->GetCamera() == nullptr) {
    Array<Object*> cameras(4, 4);
    root->CollectByType(Camera::TYPE, cameras);
    if (cameras.Count() > 0) renderer->SetCamera(static_cast<Camera*>(cameras[0]));
  }
  return true;
}

int Render(const Options& options) {
  CodecManager::LoadCodecModules(
      {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec", "STRSceneCodec", "RAR2FileCodec"});
  for (const std::string& mount : options.mounts) {
    if (!Mount(mount)) {
      std::fprintf(stderr, "klx-render: cannot mount %s\n", mount.c_str());
      return 1;
    }
  }
  if (!options.sequence.empty() && mkdir(options.sequence.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "klx-render: cannot make %s\n", options.sequence.c_str());
    return 1;
  }
  // The renderer first: the scene's camera sets put their first camera on
  // screen as the scene loads.
  DeviceRenderer* renderer = OpenOffscreenRenderer(options.width, options.height, "klx-render");
  if (renderer == nullptr) return 1;
  if (!LimitCaps(renderer, options.caps)) return 1;
  if (options.seeded) std::srand(options.seed);
  Ref<Object> loaded;
  if (EndsWith(options.path, ".str")) {
    VirtualFile file{String(options.path.c_str())};
    if (LoadScene(&file, &loaded) != kOk) return 1;
  } else {
    if (!Mount(options.path)) {
      std::fprintf(stderr, "klx-render: cannot mount %s\n", options.path.c_str());
      return 1;
    }
    VirtualFile* scene = FileManager::FindFile(String("Main.STR"));
    if (scene == nullptr || LoadScene(scene, &loaded) != kOk) {
      std::fprintf(stderr, "klx-render: no loadable Main.STR in %s\n", options.path.c_str());
      return 1;
    }
  }
  Node* root = DynamicCast<Node>(loaded.Get());
  if (root == nullptr) {
    std::fprintf(stderr, "klx-render: the scene's root is not a node\n");
    return 1;
  }
  if (!ChooseCamera(root, renderer, options)) return 1;
  std::vector<uint8_t> rgba;
  for (int frame = 0; frame < options.frames; ++frame) {
    root->UpdateGeometricState(options.dt, false);
    renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    if (renderer->BeginFrame() != kOk) continue;
    root->Draw(renderer);
    renderer->EndFrame();
    if (options.sequence.empty()) continue;
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%05d.ppm", frame + 1);
    if (!ReadFrame(renderer, options, &rgba) || !WritePpm(options.sequence + name, rgba, options.width, options.height)) {
      std::fprintf(stderr, "klx-render: cannot write %s%s\n", options.sequence.c_str(), name);
      return 1;
    }
  }
  if (!ReadFrame(renderer, options, &rgba)) return 1;
  if (!WritePpm(options.out, rgba, options.width, options.height)) {
    std::fprintf(stderr, "klx-render: cannot write %s\n", options.out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: klx-render PATH [--mount ARCHIVE]... [--camera NAME] [--size WxH] [--frames N] "
                 "[--dt SECONDS] [--seed N] [--sequence DIR] [--caps fixed|ps11|ps20] --out FILE.ppm\n");
    return 2;
  }
  // Errors of the engine go to standard error.
  Ref<ConsoleMessageOutput> console(new ConsoleMessageOutput(stderr, kLogError));
  RegisterMessageOutput(console.Get());
  int status = 1;
  SoundManager::SetOpenDeviceAtStartup(false);  // a tool plays nothing
  if (EngineStart() == kOk) {
    status = Render(options);
    ReleaseRenderer();
    EngineStop();
  }
  UnregisterMessageOutput(console.Get());
  return status;
}
