#pragma once
// Messages: four levels, sent to every registered message output in the
// order the outputs were registered. Formats are printf-style Windows-1251
// texts (write them as KLX_TEXT("...")).

#include "core/cp1251.h"
#include "core/engine_string.h"
#include "core/named.h"
#include "core/ref_counted.h"
#include "core/result.h"

namespace klx {

enum LogLevel : int {
  kLogInfo = 0,
  kLogWarning = 1,
  kLogError = 2,
  kLogCritical = 3,
};

// An abstract destination of messages; its name identifies it in the log.
class MessageOutput : public RefCounted, public Named {
 public:
  explicit MessageOutput(const String& name) : Named(name) {}
  virtual void Write(int level, const String& text) = 0;
};

void LogMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogCritical(const char* format, ...) __attribute__((format(printf, 1, 2)));

// kOk, or kInvalidArg for a null output. Registering an output twice is a
// warning and keeps one entry.
int RegisterMessageOutput(MessageOutput* output);
// kOk, or kInvalidArg when the output is not registered.
int UnregisterMessageOutput(MessageOutput* output);
int32_t GetMessageOutputCount();

}  // namespace klx
