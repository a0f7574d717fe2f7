#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/name_table.h"

namespace klx {
namespace {

TEST(NameTable, HashSkipsTheFirstByteAndShiftsByTwo) {
  EXPECT_EQ(HashName(String("")), 0u);
  EXPECT_EQ(HashName(String("A")), 0u);
  // "abc": start at 'c', then (0x63 << 2) | 'b'.
  EXPECT_EQ(HashName(String("abc")), (0x63u << 2) | 0x62u);
  EXPECT_EQ(HashName(String("Xbc")), HashName(String("abc")));
}

TEST(NameTable, NamesDifferingOnlyInTheFirstByteShareABucketAndStayApart) {
  NameTable<int> table;
  ASSERT_EQ(table.Insert(String("JPGImageCodec"), 1), kOk);
  ASSERT_EQ(table.Insert(String("KPGImageCodec"), 2), kOk);
  ASSERT_EQ(table.Insert(String("jPGImageCodec"), 3), kOk);
  EXPECT_EQ(table.BucketOf(String("JPGImageCodec")), table.BucketOf(String("KPGImageCodec")));
  EXPECT_EQ(*table.Find(String("JPGImageCodec")), 1);
  EXPECT_EQ(*table.Find(String("KPGImageCodec")), 2);
  EXPECT_EQ(*table.Find(String("jPGImageCodec")), 3);
  EXPECT_EQ(table.Find(String("JPGImageCodecs")), nullptr);
  EXPECT_EQ(table.Count(), 3);
}

TEST(NameTable, RefusesDuplicatesAndRemoves) {
  NameTable<int> table;
  EXPECT_EQ(table.Insert(String("a"), 1), kOk);
  EXPECT_EQ(table.Insert(String("a"), 2), kFailed);
  EXPECT_EQ(*table.Find(String("a")), 1);
  EXPECT_EQ(table.Remove(String("a")), kOk);
  EXPECT_EQ(table.Remove(String("a")), kInvalidArg);
  EXPECT_EQ(table.Find(String("a")), nullptr);
  EXPECT_EQ(table.Count(), 0);
}

TEST(NameTable, IteratesByBucketThenInsertionOrder) {
  NameTable<int> table;
  // Second bytes 'c' (0x63 -> bucket 3), 'a' (0x61 -> bucket 1).
  table.Insert(String("xc"), 1);
  table.Insert(String("ya"), 2);
  table.Insert(String("za"), 3);
  std::vector<std::string> order;
  table.ForEach([&](const String& key, int) { order.emplace_back(key.CStr()); });
  EXPECT_EQ(order, (std::vector<std::string>{"ya", "za", "xc"}));
}

}  // namespace
}  // namespace klx
