#pragma once

#include <cstdio>

#include "core/log.h"

namespace klx {

// Writes messages to a terminal stream (standard error by default) with the
// same level prefixes as the log file, converted to UTF-8 for the terminal.
class ConsoleMessageOutput : public MessageOutput {
 public:
  // Lines below `minimumLevel` are left out.
  explicit ConsoleMessageOutput(std::FILE* stream = stderr, int minimumLevel = kLogInfo)
      : MessageOutput(String("console")), stream_(stream), minimumLevel_(minimumLevel) {}

  void Write(int level, const String& text) override;

 private:
  std::FILE* stream_;
  int minimumLevel_;
};

}  // namespace klx
