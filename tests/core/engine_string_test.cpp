#include <gtest/gtest.h>

#include <cstring>

#include "core/engine_string.h"

namespace klx {
namespace {

TEST(EngineString, ConstructsFromTextWithOrWithoutLength) {
  const String empty;
  EXPECT_EQ(empty.Length(), 0);
  EXPECT_STREQ(empty.CStr(), "");
  EXPECT_EQ(String(nullptr).Length(), 0);

  const String measured("Music");
  EXPECT_EQ(measured.Length(), 5);
  const String prefix("Music", 3);
  EXPECT_EQ(prefix.Length(), 3);
  EXPECT_STREQ(prefix.CStr(), "Mus");

  // An explicit length keeps embedded zero bytes.
  const String withZero("a\0b", 3);
  EXPECT_EQ(withZero.Length(), 3);
  EXPECT_EQ(withZero[2], 'b');
  EXPECT_EQ(withZero.CStr()[3], '\0');
}

TEST(EngineString, ComparesByLengthThenBytesCaseSensitively) {
  EXPECT_TRUE(String("Music") == "Music");
  EXPECT_FALSE(String("Music") == "music");
  EXPECT_FALSE(String("Music") == "Music2");
  EXPECT_FALSE(String("Music2") == String("Music"));
  EXPECT_TRUE(String("a\0b", 3) != String("a\0c", 3));
  EXPECT_TRUE(String("a\0b", 3) != String("a"));
  EXPECT_TRUE(String() == "");
}

TEST(EngineString, SubstringClipsCountAndRejectsOutsidePositions) {
  const String text("Camera03");
  EXPECT_EQ(text.Substring(0, 6), "Camera");
  EXPECT_EQ(text.Substring(6, 100), "03");
  EXPECT_EQ(text.Substring(7, 1), "3");
  EXPECT_EQ(text.Substring(8, 1), "");
  EXPECT_EQ(text.Substring(-1, 3), "");
  EXPECT_EQ(text.Substring(2, 0), "");
  EXPECT_EQ(text.Substring(2, -5), "");
}

TEST(EngineString, ConcatenatesAndAssigns) {
  const String a("Media");
  EXPECT_EQ(a + ".rar2", "Media.rar2");
  EXPECT_EQ(a + String(), "Media");
  EXPECT_EQ(String() + String(), "");

  String b("xyz");
  const char* before = b.CStr();
  b = "abc";  // same length: copied in place
  EXPECT_EQ(b, "abc");
  EXPECT_EQ(b.CStr(), before);
  b = "longer text";
  EXPECT_EQ(b, "longer text");
  b = b;  // self-assignment keeps the text
  EXPECT_EQ(b, "longer text");
  b = b.CStr() + 7;  // assigning a part of itself
  EXPECT_EQ(b, "text");

  String moved(std::move(b));
  EXPECT_EQ(moved, "text");
  EXPECT_EQ(b.Length(), 0);  // NOLINT: the moved-from string is empty and usable
  b = "again";
  EXPECT_EQ(b, "again");
}

TEST(EngineString, FindsTheLastByte) {
  EXPECT_EQ(String("a.b.c").FindLast('.'), 3);
  EXPECT_EQ(String("abc").FindLast('.'), -1);
}

}  // namespace
}  // namespace klx
