#include "fuzz_classes.h"

#include "core/memory_stream.h"

namespace klx::fuzz {

KLX_IMPLEMENT_CLASS_WITH(FuzzController, Controller, "FUZZ.Controller",
                         ::klx::detail::CreateInstance<FuzzController>)
KLX_IMPLEMENT_CLASS_WITH(FuzzHolder, Object, "FUZZ.Holder", ::klx::detail::CreateInstance<FuzzHolder>)

std::vector<Ref<Object>>& HolderPool() {
  static std::vector<Ref<Object>> pool;
  return pool;
}

int FuzzHolder::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk || stream.WriteObject(link) != kOk) return kFailed;
  return stream.WriteInt32(value) == kOk ? kOk : kFailed;
}

int FuzzHolder::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) return kFailed;
  const int result = stream.ReadObject(link);
  if (link != nullptr) HolderPool().emplace_back(link);
  if (result != kOk) return kFailed;
  return stream.ReadInt32(value) == kOk ? kOk : kFailed;
}

}  // namespace klx::fuzz
