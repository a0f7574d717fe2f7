#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/file_message_output.h"
#include "support/log_capture.h"

namespace klx {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string TempPath(const char* name) {
  return ::testing::TempDir() + name;
}

TEST(FileMessageOutput, WritesWindows1251LinesWithLevelPrefixes) {
  const std::string path = TempPath("klx_log_test.txt");
  Ref<FileMessageOutput> output(new FileMessageOutput(String(path.c_str()), String()));
  ASSERT_TRUE(output->IsOpen());
  EXPECT_EQ(output->GetName(), path.c_str());
  RegisterMessageOutput(output.Get());
  LogInfo("info %d", 1);
  LogWarning("warn");
  LogError(KLX_TEXT("ошибка"));
  LogCritical("crit");
  LogMessage(7, "odd");
  // Flushed per line: the content is on disk while the file is open.
  const std::string whileOpen = ReadFile(path);
  UnregisterMessageOutput(output.Get());
  output = nullptr;

  // "Объект вывода сообщений зарегестрирован. [" in Windows-1251.
  const std::string registered =
      "INFO. \xCE\xE1\xFA\xE5\xEA\xF2 \xE2\xFB\xE2\xEE\xE4\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 "
      "\xE7\xE0\xF0\xE5\xE3\xE5\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED. [" + path + "]\n";
  const std::string body =
      "INFO. info 1\nWARNING. warn\nERROR. \xEE\xF8\xE8\xE1\xEA\xE0\nCRITICAL ERROR. crit\n"
      "UNKNOWN. odd\n";
  EXPECT_EQ(whileOpen, registered + body);
  const std::string content = ReadFile(path);
  ASSERT_GE(content.size(), registered.size());
  EXPECT_EQ(content.substr(0, registered.size()), registered);
  EXPECT_EQ(content, registered + body + test::Text("INFO. Объект вывода сообщений разрегестрирован. [%s]\n", path.c_str()));
  std::remove(path.c_str());
}

TEST(FileMessageOutput, EmptyPathWritesNothing) {
  Ref<FileMessageOutput> output(new FileMessageOutput(String(), String("silent")));
  EXPECT_FALSE(output->IsOpen());
  EXPECT_EQ(output->GetName(), "silent");
  EXPECT_EQ(RegisterMessageOutput(output.Get()), kOk);
  LogError("nothing happens");
  EXPECT_EQ(UnregisterMessageOutput(output.Get()), kOk);
}

TEST(MessageRegistry, RefusesNullAndUnknownAndKeepsOneEntryPerOutput) {
  test::ScopedLogCapture log;
  EXPECT_EQ(RegisterMessageOutput(nullptr), kInvalidArg);
  EXPECT_EQ(UnregisterMessageOutput(nullptr), kInvalidArg);

  Ref<test::CaptureOutput> other(new test::CaptureOutput);
  const size_t linesBefore = log->lines.size();
  EXPECT_EQ(UnregisterMessageOutput(other.Get()), kInvalidArg);
  EXPECT_EQ(log->lines.size(), linesBefore);  // unknown output: nothing logged

  const int32_t count = GetMessageOutputCount();
  EXPECT_EQ(RegisterMessageOutput(other.Get()), kOk);
  EXPECT_EQ(RegisterMessageOutput(other.Get()), kOk);
  EXPECT_EQ(GetMessageOutputCount(), count + 1);
  EXPECT_EQ(log->Count(kLogWarning, test::Text("Объект вывода сообщений уже зарегестрирован. [capture]")), 1);
  // The second output saw the warning too, once.
  EXPECT_EQ(other->Count(kLogWarning, test::Text("Объект вывода сообщений уже зарегестрирован. [capture]")), 1);
  EXPECT_EQ(other->lines.front().text, test::Text("Объект вывода сообщений зарегестрирован. [capture]"));

  LogInfo("both");
  EXPECT_TRUE(other->Has(kLogInfo, "both"));
  EXPECT_EQ(UnregisterMessageOutput(other.Get()), kOk);
  EXPECT_EQ(other->lines.back().text, test::Text("Объект вывода сообщений разрегестрирован. [capture]"));
  LogInfo("only the first");
  EXPECT_FALSE(other->Has(kLogInfo, "only the first"));
  EXPECT_TRUE(log->Has(kLogInfo, "only the first"));
  EXPECT_EQ(GetMessageOutputCount(), count);
}

TEST(MessageRegistry, AQuietRemovalLeavesTheOutputsLastLineItsOwn) {
  test::ScopedLogCapture log;
  Ref<test::CaptureOutput> file(new test::CaptureOutput);
  ASSERT_EQ(RegisterMessageOutput(file.Get()), kOk);
  LogInfo("the end");
  EXPECT_EQ(UnregisterMessageOutput(file.Get(), false), kOk);
  EXPECT_EQ(file->lines.back().text, "the end");
  EXPECT_FALSE(log->Has(kLogInfo, test::Text("Объект вывода сообщений разрегестрирован. [capture]")));
  EXPECT_EQ(UnregisterMessageOutput(file.Get(), false), kInvalidArg);
}

TEST(MessageRegistry, LongMessagesAreNotCut) {
  test::ScopedLogCapture log;
  const std::string longText(10000, 'x');
  LogInfo("[%s]", longText.c_str());
  ASSERT_FALSE(log->lines.empty());
  EXPECT_EQ(log->lines.back().text, "[" + longText + "]");
}

}  // namespace
}  // namespace klx
