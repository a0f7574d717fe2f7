#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lifecycle.h"
#include "support/log_capture.h"

namespace klx {
namespace {

std::string g_calls;
int g_failAt = -1;  // which call fails, counted from 0

int Step(char name) {
  const int index = static_cast<int>(g_calls.size());
  g_calls += name;
  return index == g_failAt ? 1 : 0;
}
int InitA() { return Step('a'); }
int InitB() { return Step('b'); }
int PostC() { return Step('c'); }
int PostD() { return Step('d'); }
int StopE() { return Step('e'); }
int StopF() { return Step('f'); }

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_failAt = -1;
    log_->lines.clear();
    AddInitFunction(&InitA);
    AddInitFunction(&InitB);
    AddPostInitFunction(&PostC);
    AddPostInitFunction(&PostD);
    AddShutdownFunction(&StopE);
    AddShutdownFunction(&StopF);
  }
  ScopedEmptyLifecycle lists_;
  test::ScopedLogCapture log_;
};

TEST_F(LifecycleTest, StartRunsInitThenPostInitAndStopRunsInRegistrationOrder) {
  EXPECT_EQ(EngineStart(), 0);
  EXPECT_EQ(g_calls, "abcd");
  EXPECT_EQ(EngineStop(), 0);
  EXPECT_EQ(g_calls, "abcdef");  // shut-down is not reversed

  std::vector<std::string> expected = {
      test::Text("Инициализация движка v.0.1.2:"),
      test::Text("Инициализация движка завершилась удачно."),
      test::Text("Постинициализация движка:"),
      test::Text("Постинициализация движка завершилась удачно."),
      test::Text("Завершение работы движка:"),
      test::Text("Завершение работы движка завершилось удачно."),
  };
  ASSERT_EQ(log_->lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(log_->lines[i].level, kLogInfo);
    EXPECT_EQ(log_->lines[i].text, expected[i]) << i;
  }
}

TEST_F(LifecycleTest, AFailingInitFunctionStopsTheStart) {
  g_failAt = 0;
  EXPECT_EQ(EngineStart(), 1);
  EXPECT_EQ(g_calls, "a");  // neither b nor the post-initialization ran
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Инициализация движка неудачно.")));
  EXPECT_FALSE(log_->Has(kLogInfo, test::Text("Постинициализация движка:")));
}

TEST_F(LifecycleTest, AFailingPostInitFunctionStopsTheStart) {
  g_failAt = 2;
  EXPECT_EQ(EngineStart(), 1);
  EXPECT_EQ(g_calls, "abc");
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Постинициализация движка неудачна.")));
}

TEST_F(LifecycleTest, AFailingShutdownFunctionStopsTheStop) {
  g_failAt = 0;
  EXPECT_EQ(EngineStop(), 1);
  EXPECT_EQ(g_calls, "e");
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Завершение работы движка неудачно.")));
}

TEST(Lifecycle, MissingListsCountAsEmpty) {
  ScopedEmptyLifecycle lists;
  EXPECT_EQ(GetLifecycleCounts().init, 0);
  EXPECT_EQ(EngineStart(), 0);
  EXPECT_EQ(EngineStop(), 0);
}

TEST(Lifecycle, TheEngineRegistersItsFunctionsFromStaticInitialisation) {
  // Classes and managers entered their functions before main().
  const LifecycleCounts counts = GetLifecycleCounts();
  EXPECT_GE(counts.init, 4);
  EXPECT_EQ(counts.init, counts.shutdown);
}

}  // namespace
}  // namespace klx
