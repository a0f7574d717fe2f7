#pragma once
// One image decoder over untrusted bytes: decoding a memory file through
// the codec its extension picks must fail cleanly on any input (no crash,
// no read or write outside a buffer, no leak, no unbounded allocation).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "assets/codecs/image_codecs.h"
#include "assets/image.h"
#include "core/lifecycle.h"
#include "vfs/memory_file.h"

namespace klx::fuzz {

inline int InitializeImageFuzzer() {
  if (EngineStart() != kOk || LoadBuiltinImageCodecs() != kOk) std::abort();  // nothing to fuzz without the codecs
  std::atexit([] { EngineStop(); });
  return 0;
}

inline int DecodeImageInput(const uint8_t* data, size_t size, const char* fileName, bool volume) {
  if (size > (1u << 20)) return 0;
  MemoryFile file{String(fileName)};
  auto* bytes = new uint8_t[size + 1];
  if (size > 0) std::memcpy(bytes, data, size);
  file.SetContent(bytes, static_cast<int32_t>(size));
  Ref<Image> image(volume ? new VolumeImage() : new Image());
  if (image->LoadFromFile(&file) == kOk && image->GetPixels() != nullptr) {
    // Touch the last byte the image claims to hold.
    const uint32_t dataSize = image->GetDataSize();
    if (dataSize > 0) {
      volatile uint8_t last = image->GetPixels()[dataSize - 1];
      (void)last;
    }
  }
  return 0;
}

}  // namespace klx::fuzz
