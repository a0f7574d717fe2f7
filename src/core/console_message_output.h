#pragma once

#include <cstdio>

#include "core/log.h"

namespace klx {

// Writes messages to a terminal stream (standard error by default) with the
// same level prefixes as the log file, converted to UTF-8 for the terminal.
class ConsoleMessageOutput : public MessageOutput {
 public:
  explicit ConsoleMessageOutput(std::FILE* stream = stderr)
      : MessageOutput(String("console")), stream_(stream) {}

  void Write(int level, const String& text) override;

 private:
  std::FILE* stream_;
};

}  // namespace klx
