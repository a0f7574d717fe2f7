// klx-scene: looks inside scene files.
//
//   klx-scene dump FILE.STR [--verbose]
//
// Loads the file through the engine (every class and codec it has) and
// prints the object tree. Warnings and errors go to standard error as UTF-8
// (with --verbose, every log line); a failed load exits with status 1.

#include <cstdio>
#include <cstring>
#include <string>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/console_message_output.h"
#include "core/lifecycle.h"
#include "scene_dump.h"
#include "vfs/virtual_directory.h"
#include "vfs/virtual_file.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: klx-scene dump FILE.STR [--verbose]\n");
  return 2;
}

// The scene codecs and every codec a scene's classes may use.
const char* const kCodecs[] = {"STRSceneCodec"};

int Dump(const std::string& path, bool verbose) {
  klx::Ref<klx::MessageOutput> output(
      new klx::ConsoleMessageOutput(stderr, verbose ? klx::kLogInfo : klx::kLogWarning));
  klx::RegisterMessageOutput(output.Get());
  int status = 1;
  if (klx::EngineStart() == 0) {
    for (const char* codec : kCodecs) klx::CodecManager::LoadCodec(klx::String(codec), nullptr);
    // The file is an operating-system file in a directory named after its
    // folder, so its full path is the path given.
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    {
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
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--verbose") == 0) {
      verbose = true;
    } else {
      return Usage();
    }
  }
  return Dump(argv[2], verbose);
}
