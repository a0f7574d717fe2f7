// klx-scene: looks inside scene files.
//
//   klx-scene dump PATH [--mount ARCHIVE]... [--verbose]
//
// Loads the scene through the engine (every class and codec it has) and
// prints the object tree. PATH is a scene file (".STR"), or an archive
// whose "Main.STR" is loaded; --mount mounts further archives, where the
// files a scene names (textures, sounds) are found as in the saver.
// Warnings and errors go to standard error as UTF-8 (with --verbose, every
// log line); a failed load exits with status 1.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/console_message_output.h"
#include "core/lifecycle.h"
#include "core/module_manager.h"
#include "vfs/file_manager.h"
#include "scene_dump.h"
#include "vfs/virtual_directory.h"
#include "vfs/virtual_file.h"
#include "sound/sound_manager.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: klx-scene dump PATH [--mount ARCHIVE]... [--verbose]\n");
  return 2;
}


bool IsSceneFile(const std::string& path) {
  return path.size() > 4 && (path.compare(path.size() - 4, 4, ".STR") == 0 || path.compare(path.size() - 4, 4, ".str") == 0);
}

bool Mount(const std::string& path) {
  klx::VirtualFile archive{klx::String(path.c_str())};
  if (klx::FileManager::AttachArchive(&archive, klx::String()) == klx::kOk) return true;
  std::fprintf(stderr, "klx-scene: cannot mount %s\n", path.c_str());
  return false;
}

int Dump(const std::string& path, const std::vector<std::string>& mounts, bool verbose) {
  klx::Ref<klx::MessageOutput> output(
      new klx::ConsoleMessageOutput(stderr, verbose ? klx::kLogInfo : klx::kLogWarning));
  klx::RegisterMessageOutput(output.Get());
  int status = 1;
  klx::SoundManager::SetOpenDeviceAtStartup(false);  // a tool plays nothing
  if (klx::EngineStart() == klx::kOk) {
    // The scene codec and every codec a scene's classes may use.
    klx::CodecManager::LoadCodecModules(
        {"STRSceneCodec", "BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec", "RAR2FileCodec"});
    bool mounted = true;
    for (const std::string& archive : mounts) mounted = mounted && Mount(archive);
    if (mounted && !IsSceneFile(path)) {
      klx::Ref<klx::Object> root;
      klx::VirtualFile* scene = Mount(path) ? klx::FileManager::FindFile(klx::String("Main.STR")) : nullptr;
      if (scene != nullptr && klx::LoadScene(scene, &root) == klx::kOk) {
        klx::SceneDumper(stdout).Dump(root.Get());
        status = 0;
      }
      mounted = false;  // done
    }
    // The file is an operating-system file in a directory named after its
    // folder, so its full path is the path given.
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (mounted) {
      klx::VirtualDirectory directory{klx::String(folder.c_str())};
      auto* file = new klx::VirtualFile(klx::String(name.c_str()));
      directory.AddFile(file);
      klx::Ref<klx::Object> root;
      if (klx::LoadScene(file, &root) == klx::kOk) {
        klx::SceneDumper(stdout).Dump(root.Get());
        status = 0;
      }
    }
  }
  klx::EngineStop();
  klx::UnregisterMessageOutput(output.Get());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::strcmp(argv[1], "dump") != 0) return Usage();
  bool verbose = false;
  std::vector<std::string> mounts;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--verbose") == 0) {
      verbose = true;
    } else if (std::strcmp(argv[i], "--mount") == 0 && i + 1 < argc) {
      mounts.push_back(argv[++i]);
    } else {
      return Usage();
    }
  }
  return Dump(argv[2], mounts, verbose);
}
