#include "support/engine_fixture.h"

#include <cstdarg>
#include <cstdio>

#include "core/cp1251.h"
#include "core/lifecycle.h"

namespace klx::test {

std::string Text(const char* utf8Format, ...) {
  const std::string format = Utf8ToCp1251(utf8Format);
  char buffer[8192];
  va_list args;
  va_start(args, utf8Format);
  std::vsnprintf(buffer, sizeof(buffer), format.c_str(), args);
  va_end(args);
  return buffer;
}

void EngineTest::SetUp() { ASSERT_EQ(EngineStart(), 0); }

void EngineTest::TearDown() { EXPECT_EQ(EngineStop(), 0); }

}  // namespace klx::test
