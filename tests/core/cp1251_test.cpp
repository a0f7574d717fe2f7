#include <gtest/gtest.h>

#include "core/cp1251.h"

namespace klx {
namespace {

TEST(Cp1251, CompileTimeTextMatchesTheCodePage) {
  // "Объект №1 ёЁ" in Windows-1251.
  EXPECT_STREQ(KLX_TEXT("Объект №1 ёЁ"), "\xCE\xE1\xFA\xE5\xEA\xF2 \xB9" "1 \xB8\xA8");
  EXPECT_STREQ(KLX_TEXT("ascii %d [%s]"), "ascii %d [%s]");
  EXPECT_STREQ(KLX_TEXT("АЯая"), "\xC0\xDF\xE0\xFF");
}

TEST(Cp1251, EveryByteRoundTripsThroughUtf8) {
  for (int byte = 1; byte < 256; ++byte) {
    if (byte == 0x98) continue;  // the one byte the code page leaves unused
    const std::string original(1, static_cast<char>(byte));
    const std::string utf8 = Cp1251ToUtf8(original);
    EXPECT_EQ(Utf8ToCp1251(utf8), original) << "byte " << byte;
  }
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");          // a CJK character
  EXPECT_EQ(Utf8ToCp1251("x\xC3"), "x?");                       // cut-off sequence
  EXPECT_EQ(Utf8ToCp1251("\xFF" "z"), "?z");                    // invalid lead byte
  EXPECT_EQ(Cp1251ToUtf8("\xE0\xE1"), "\xD0\xB0\xD0\xB1");      // "аб"
}

}  // namespace
}  // namespace klx
