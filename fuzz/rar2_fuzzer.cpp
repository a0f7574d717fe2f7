// RAR 2.0 archives from untrusted bytes: mounting through "RAR2FileCodec"
// must never crash, read or write outside a buffer, leak, or allocate
// without bound, whatever the headers and compressed streams say. Odd-sized
// inputs are mounted with a key so that the cipher path is reached too.
// Each input is mounted twice: decoded whole at the mount, and as an
// archive lent for the run whose members are decoded as they are read.

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
  const klx::String key(size % 2 == 1 ? "password" : "");
  // One copy that both mounts read.
  auto* bytes = new uint8_t[size + 1];
  if (size > 0) std::memcpy(bytes, data, size);
  for (bool lent : {false, true}) {
    klx::MemoryFile archive{klx::String("Fuzz.rar2")};
    if (lent) {
      archive.BorrowContent(bytes, static_cast<int32_t>(size));
      archive.MarkContentPermanent();
    } else {
      archive.SetContent(bytes, static_cast<int32_t>(size));
    }
    klx::VirtualDirectory* tree = nullptr;
    if (g_codec->Load(&archive, &tree, key) == klx::kOk && tree != nullptr) ReadTree(tree);
    delete tree;
    if (!lent) archive.DetachContent();  // the lent pass borrows the same bytes
  }
  delete[] bytes;
  return 0;
}
