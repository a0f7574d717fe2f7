// scenebuild OUTPUT-FOLDER: makes the program's content. Writes the demo
// scene ("Main.STR" with its textures and sounds) into OUTPUT-FOLDER/media
// and the program's own pictures (loading screen, clock digits, dialog
// pictures) into OUTPUT-FOLDER/custom. The build packs each folder into
// its archive. The same sources give the same files byte for byte.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/codecs/image_codecs.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "media_folder.h"
#include "pictures.h"
#include "scene/scene_node.h"
#include "valley.h"
#include "vfs/virtual_file.h"
#include "sound/sound_manager.h"

namespace {

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

int Build(const std::string& output) {
  using namespace klx;
  if (LoadBuiltinImageCodecs() != kOk || CodecManager::LoadCodec(String("STRSceneCodec"), nullptr) != kOk) {
    std::fprintf(stderr, "scenebuild: the image and scene codecs are not there\n");
    return 1;
  }
  if (!MakeFolder(output) || !MakeFolder(output + "/media") || !MakeFolder(output + "/custom")) {
    std::fprintf(stderr, "scenebuild: cannot make the folders under %s\n", output.c_str());
    return 1;
  }
  scenebuild::MediaFolder custom(output + "/custom", "CustomData");
  if (!scenebuild::PaintProgramPictures(custom)) return 1;

  scenebuild::MediaFolder media(output + "/media", "Media");
  Ref<SceneNode> root = scenebuild::BuildValley(media);
  if (!root) return 1;
  const std::string scene = output + "/media/Main.STR";
  VirtualFile file{String(scene.c_str())};
  if (SaveScene(&file, root.Get()) != kOk) {
    std::fprintf(stderr, "scenebuild: cannot write %s\n", scene.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scenebuild OUTPUT-FOLDER\n");
    return 2;
  }
  // The sound nodes open their streams while the scene is built; nothing
  // is to be heard.
  setenv("ALSOFT_DRIVERS", "null", 1);
  klx::SoundManager::SetOpenDeviceAtStartup(false);  // a tool plays nothing
  if (klx::EngineStart() != klx::kOk) {
    std::fprintf(stderr, "scenebuild: the engine did not start\n");
    return 1;
  }
  const int result = Build(argv[1]);
  klx::EngineStop();
  return result;
}
