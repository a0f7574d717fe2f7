#include <gtest/gtest.h>

#include "core/array.h"
#include "core/ref_counted.h"

namespace klx {
namespace {

TEST(EngineArray, GrowsByItsIncrement) {
  Array<int> array(1, 3);
  EXPECT_EQ(array.Append(10), kOk);
  EXPECT_EQ(array.Capacity(), 1);
  EXPECT_EQ(array.Append(11), kOk);
  EXPECT_EQ(array.Capacity(), 4);
  for (int i = 0; i < 3; ++i) array.Append(12 + i);
  EXPECT_EQ(array.Count(), 5);
  EXPECT_EQ(array.Capacity(), 7);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(array[i], 10 + i);
}

TEST(EngineArray, IncrementZeroIgnoresAppendWhenFull) {
  Array<int> array(2, 0);
  EXPECT_EQ(array.Append(1), kOk);
  EXPECT_EQ(array.Append(2), kOk);
  EXPECT_EQ(array.Append(3), kFailed);
  EXPECT_EQ(array.Count(), 2);
  EXPECT_EQ(array.Capacity(), 2);
  EXPECT_EQ(array[1], 2);
}

TEST(EngineArray, RemoveShiftsLaterItemsDown) {
  Array<int> array(1, 1);
  for (int i = 0; i < 4; ++i) array.Append(i);
  EXPECT_EQ(array.RemoveAt(1), kOk);
  ASSERT_EQ(array.Count(), 3);
  EXPECT_EQ(array[0], 0);
  EXPECT_EQ(array[1], 2);
  EXPECT_EQ(array[2], 3);
  EXPECT_EQ(array.RemoveAt(3), kInvalidArg);
  EXPECT_EQ(array.RemoveAt(-1), kInvalidArg);
  EXPECT_EQ(array.Find(3), 2);
  EXPECT_EQ(array.Find(1), -1);
}

struct Counted : RefCounted {
  explicit Counted(int* destroyed) : destroyed(destroyed) {}
  ~Counted() override { ++*destroyed; }
  int* destroyed;
};

TEST(EngineArray, ArraysOfReferencesHoldAndReleaseTheirItems) {
  int destroyed = 0;
  {
    Array<Ref<Counted>> array(1, 1);
    Counted* a = new Counted(&destroyed);
    Counted* b = new Counted(&destroyed);
    array.Append(a);
    array.Append(b);
    array.Append(a);
    EXPECT_EQ(a->GetRefCount(), 2);
    array.RemoveAt(0);
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(destroyed, 0);
    array.RemoveAt(1);  // the second reference to a
    EXPECT_EQ(destroyed, 1);
  }
  EXPECT_EQ(destroyed, 2);
}

}  // namespace
}  // namespace klx
