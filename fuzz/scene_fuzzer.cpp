// Scene files from untrusted bytes: LoadScene over a memory file must fail
// cleanly on any input (no crash, no read past a buffer, no leak, no use of
// a freed object), whatever classes the engine has. Two fuzz-only classes
// (fuzz_classes.h) make links, sharing and controllers reachable before the
// real scene classes exist.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "fuzz_classes.h"
#include "scene/node.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace {

// A short silent 16-bit mono wave file "fuzz.wav" under the file system's
// root, so sound nodes in an input that name it make their streams too.
void AddSoundFile() {
  const uint32_t samples = 64;
  const uint32_t dataBytes = samples * 2;
  const uint8_t header[44] = {'R', 'I', 'F', 'F', uint8_t(36 + dataBytes), 0, 0, 0, 'W', 'A', 'V', 'E',
                              'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0,
                              0x88, 0x58, 0x01, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a', uint8_t(dataBytes), 0, 0, 0};
  auto* bytes = new uint8_t[sizeof(header) + dataBytes]();
  std::memcpy(bytes, header, sizeof(header));
  auto* file = new klx::MemoryFile(klx::String("fuzz.wav"));
  file->SetContent(bytes, static_cast<int32_t>(sizeof(header) + dataBytes));
  auto* directory = new klx::VirtualDirectory(klx::String("FuzzSounds"), klx::FileManager::GetRoot());
  directory->AddFile(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (klx::EngineStart() != klx::kOk || klx::CodecManager::LoadCodec(klx::String("STRSceneCodec"), nullptr) != klx::kOk) {
    std::abort();  // nothing to fuzz without the scene codec
  }
  AddSoundFile();
  // Stop the engine before the leak check runs at exit.
  std::atexit([] { klx::EngineStop(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (4u << 20)) return 0;
  klx::VirtualDirectory directory{klx::String("Media.rar2")};
  auto* file = new klx::MemoryFile(klx::String("Main.STR"));
  auto* bytes = new uint8_t[size + 1];
  if (size > 0) std::memcpy(bytes, data, size);
  file->SetContent(bytes, static_cast<int32_t>(size));
  directory.AddFile(file);
  klx::Ref<klx::Object> root;
  if (klx::LoadScene(file, &root) == klx::kOk && root) {
    root->FindByName(klx::String("Music"));
    klx::Array<klx::Object*> found(1, 1);
    root->CollectByType(klx::Object::TYPE, found);
    // A few frames of time: controllers play whatever tracks, keyframes
    // and frames the input holds.
    if (auto* node = klx::DynamicCast<klx::Node>(root.Get())) {
      for (double elapsed : {0.0, 0.04, 0.7, 13.0}) node->UpdateGeometricState(elapsed, false);
    }
  }
  root = nullptr;
  klx::fuzz::HolderPool().clear();
  return 0;
}
