#pragma once
// A message output that keeps every line, for tests that check what the
// engine logged. Texts are Windows-1251, as the engine writes them.

#include <string>
#include <vector>

#include "core/log.h"

namespace klx::test {

struct LoggedLine {
  int level;
  std::string text;
};

class CaptureOutput : public MessageOutput {
 public:
  CaptureOutput() : MessageOutput(String("capture")) {}
  void Write(int level, const String& text) override {
    lines.push_back({level, std::string(text.CStr(), static_cast<size_t>(text.Length()))});
  }
  // Number of lines at `level` whose text equals `text`.
  int Count(int level, const std::string& text) const {
    int count = 0;
    for (const LoggedLine& line : lines) count += line.level == level && line.text == text;
    return count;
  }
  bool Has(int level, const std::string& text) const { return Count(level, text) > 0; }
  std::vector<LoggedLine> lines;
};

// Registers a capture output for the lifetime of the scope.
class ScopedLogCapture {
 public:
  ScopedLogCapture() : output_(new CaptureOutput) { RegisterMessageOutput(output_.Get()); }
  ~ScopedLogCapture() { UnregisterMessageOutput(output_.Get()); }
  CaptureOutput& operator*() { return *output_; }
  CaptureOutput* operator->() { return output_.Get(); }

 private:
  Ref<CaptureOutput> output_;
};

// The Windows-1251 text of a UTF-8 literal, printf-formatted.
std::string Text(const char* utf8Format, ...);

}  // namespace klx::test
