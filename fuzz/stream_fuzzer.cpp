// Object links read from untrusted bytes: the stream must fail cleanly on
// any input, never read past its buffer or follow a freed object.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/lifecycle.h"
#include "core/memory_stream.h"

namespace {

class FuzzStream : public klx::MemoryStream {
 public:
  FuzzStream(const uint8_t* data, size_t size) : MemoryStream(0, 1024) {
    Reset(data, static_cast<int32_t>(size));
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (klx::EngineStart() != klx::kOk) std::abort();  // nothing to fuzz without the engine
  std::atexit([] { klx::EngineStop(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  FuzzStream stream(data, size);
  // Read links until the stream fails or runs out; the stream holds what
  // it created and frees it with itself.
  for (int i = 0; i < 64 && stream.GetError() == 0; ++i) {
    klx::Object* object = nullptr;
    (void)stream.ReadObject(object);  // failing is fine; crashing is not
    if (object != nullptr) object->FindByName(klx::String("x"));
  }
  klx::String text;
  (void)stream.ReadString(text);
  return 0;
}
