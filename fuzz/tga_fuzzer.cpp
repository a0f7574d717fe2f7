// The "TGA" image decoder over untrusted bytes.
#include "image_fuzz_target.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return klx::fuzz::InitializeImageFuzzer(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return klx::fuzz::DecodeImageInput(data, size, "fuzz.tga", false);
}
