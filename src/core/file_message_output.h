#pragma once

#include <cstdio>

#include "core/log.h"

namespace klx {

// Writes each message as one line, "INFO. ", "WARNING. ", "ERROR. ",
// "CRITICAL ERROR. " or "UNKNOWN. " followed by the text. The file is
// recreated when the output is made and flushed after every line, so the
// log survives a crash.
class FileMessageOutput : public MessageOutput {
 public:
  // The output is named after the path when `name` is empty. An empty path,
  // or a file that cannot be opened, leaves the output silent.
  FileMessageOutput(const String& path, const String& name);
  ~FileMessageOutput() override;

  void Write(int level, const String& text) override;
  bool IsOpen() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace klx
