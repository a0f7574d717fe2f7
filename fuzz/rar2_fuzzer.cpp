// RAR 2.0 archives from untrusted bytes: mounting through "RAR2FileCodec"
// must never crash, read or write outside a buffer, leak, or allocate
// without bound, whatever the headers and compressed streams say. Odd-sized
// inputs are mounted with a key so that the cipher path is reached too.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace {

klx::FileCodec* g_codec = nullptr;

// Opens every mounted file once, as the engine would when it reads them.
void ReadTree(klx::VirtualDirectory* directory) {
  for (int32_t i = 0; i < directory->GetFileCount(); ++i) {
    klx::VirtualFile* file = directory->GetFile(i);
    if (file->Open(klx::VirtualFile::kRead) == klx::kOk) file->Close();
  }
  for (int32_t i = 0; i < directory->GetDirectoryCount(); ++i) ReadTree(directory->GetDirectory(i));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  klx::Codec* codec = nullptr;
  if (klx::EngineStart() != klx::kOk || klx::CodecManager::LoadCodec(klx::String("RAR2FileCodec"), &codec) != klx::kOk) {
    std::abort();  // nothing to fuzz without the archive codec
  }
  g_codec = static_cast<klx::FileCodec*>(codec);
  std::atexit([] { klx::EngineStop(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_codec == nullptr || size > (1u << 20)) return 0;
  klx::MemoryFile archive{klx::String("Fuzz.rar2")};
  auto* bytes = new uint8_t[size + 1];
  if (size > 0) std::memcpy(bytes, data, size);
  archive.SetContent(bytes, static_cast<int32_t>(size));
  klx::VirtualDirectory* tree = nullptr;
  const klx::String key(size % 2 == 1 ? "password" : "");
  if (g_codec->Load(&archive, &tree, key) == klx::kOk && tree != nullptr) ReadTree(tree);
  delete tree;
  return 0;
}
