#include "support/test_classes.h"

#include "core/memory_stream.h"

namespace klx::test {

KLX_IMPLEMENT_CLASS_WITH(TestController, Controller, "TEST.Controller",
                         ::klx::detail::CreateInstance<TestController>)
KLX_IMPLEMENT_CLASS_WITH(TestHolder, Object, "TEST.Holder",
                         ::klx::detail::CreateInstance<TestHolder>)
KLX_IMPLEMENT_CLASS_WITH(TestBase, Object, "TEST.Base", ::klx::detail::RefuseInstance)
KLX_IMPLEMENT_CLASS_WITH(TestLeafA, TestBase, "TEST.LeafA",
                         ::klx::detail::CreateInstance<TestLeafA>)
KLX_IMPLEMENT_CLASS_WITH(TestLeafB, TestBase, "TEST.LeafB",
                         ::klx::detail::CreateInstance<TestLeafB>)

int TestHolder::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) return kFailed;
  if (stream.WriteObject(link.Get()) != kOk) return kFailed;
  return stream.WriteInt32(value) == kOk ? kOk : kFailed;
}

int TestHolder::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) return kFailed;
  Object* linked = nullptr;
  const int result = stream.ReadObject(linked);
  link = linked;
  if (result != kOk) return kFailed;
  return stream.ReadInt32(value) == kOk ? kOk : kFailed;
}

}  // namespace klx::test
