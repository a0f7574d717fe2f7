#include <gtest/gtest.h>

#include "core/ref_counted.h"
#include "support/log_capture.h"

namespace klx {
namespace {

struct Tracked : RefCounted {
  explicit Tracked(int* destroyed) : destroyed(destroyed) {}
  ~Tracked() override { ++*destroyed; }
  int* destroyed;
};

TEST(RefCounted, TheLastReleaseDestroys) {
  int destroyed = 0;
  Tracked* object = new Tracked(&destroyed);
  EXPECT_EQ(object->GetRefCount(), 0);
  object->AddRef();
  object->AddRef();
  object->Release();
  EXPECT_EQ(destroyed, 0);
  object->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(RefCounted, DeletingAnObjectWithReferencesOnlyWarns) {
  test::ScopedLogCapture log;
  int destroyed = 0;
  Tracked* object = new Tracked(&destroyed);
  object->AddRef();
  object->AddRef();
  delete object;
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(log->Has(kLogWarning, test::Text("Удаление объекта, имеющего ссылки. Количество ссылок [2].")));
}

TEST(RefCounted, ReleaseWithoutReferenceDoesNotDestroy) {
  test::ScopedLogCapture log;
  int destroyed = 0;
  Tracked object(&destroyed);
  log->lines.clear();
  object.Release();  // unbalanced: must not delete a stack object
  EXPECT_EQ(object.GetRefCount(), 0);
  EXPECT_EQ(log->lines.size(), 1u);
}

TEST(RefCounted, RefTakesTheNewReferenceBeforeDroppingTheOld) {
  int destroyed = 0;
  Ref<Tracked> a(new Tracked(&destroyed));
  Ref<Tracked> b = a;
  EXPECT_EQ(a->GetRefCount(), 2);
  a = a.Get();  // assigning what it holds changes nothing
  EXPECT_EQ(a->GetRefCount(), 2);
  b = nullptr;
  EXPECT_EQ(a->GetRefCount(), 1);
  a = a;  // self-assignment of the last reference must not destroy
  EXPECT_EQ(destroyed, 0);
  Ref<Tracked> c(new Tracked(&destroyed));
  a = c;
  EXPECT_EQ(destroyed, 1);
  Ref<Tracked> moved(std::move(c));
  EXPECT_FALSE(c);  // NOLINT: moved-from reference is empty
  EXPECT_EQ(moved->GetRefCount(), 2);
}

}  // namespace
}  // namespace klx
