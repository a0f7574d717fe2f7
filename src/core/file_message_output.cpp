#include "core/file_message_output.h"

namespace klx {

FileMessageOutput::FileMessageOutput(const String& path, const String& name)
    : MessageOutput(name.IsEmpty() ? path : name) {
  if (!path.IsEmpty()) file_ = std::fopen(path.CStr(), "w");
}

FileMessageOutput::~FileMessageOutput() {
  if (file_ != nullptr) std::fclose(file_);
}

void FileMessageOutput::Write(int level, const String& text) {
  if (file_ == nullptr) return;
  const char* prefix = "UNKNOWN. ";
  switch (level) {
    case kLogInfo: prefix = "INFO. "; break;
    case kLogWarning: prefix = "WARNING. "; break;
    case kLogError: prefix = "ERROR. "; break;
    case kLogCritical: prefix = "CRITICAL ERROR. "; break;
    default: break;
  }
  std::fprintf(file_, "%s%s\n", prefix, text.CStr());
  std::fflush(file_);
}

}  // namespace klx
