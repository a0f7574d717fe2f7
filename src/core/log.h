#pragma once
// Messages: four levels, sent to every registered message output in the
// order the outputs were registered. Formats are printf-style Windows-1251
// texts (write them as KLX_TEXT("...")).

#include <type_traits>

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

// Formats a message printf-style and hands it to every output. Formats are
// Windows-1251 texts built at compile time, so the compiler cannot check
// them; the wrappers below at least refuse arguments that printf cannot
// take (an engine String instead of its CStr(), say).
void LogMessage(int level, const char* format, ...);

namespace detail {
template <class T>
inline constexpr bool kPrintfArgument = std::is_arithmetic_v<T> || std::is_enum_v<T> ||
                                        std::is_pointer_v<T> || std::is_null_pointer_v<T>;
}  // namespace detail

template <class... Args>
void LogInfo(const char* format, Args... args) {
  static_assert((detail::kPrintfArgument<Args> && ...), "printf takes numbers and pointers");
  LogMessage(kLogInfo, format, args...);
}
template <class... Args>
void LogWarning(const char* format, Args... args) {
  static_assert((detail::kPrintfArgument<Args> && ...), "printf takes numbers and pointers");
  LogMessage(kLogWarning, format, args...);
}
template <class... Args>
void LogError(const char* format, Args... args) {
  static_assert((detail::kPrintfArgument<Args> && ...), "printf takes numbers and pointers");
  LogMessage(kLogError, format, args...);
}
template <class... Args>
void LogCritical(const char* format, Args... args) {
  static_assert((detail::kPrintfArgument<Args> && ...), "printf takes numbers and pointers");
  LogMessage(kLogCritical, format, args...);
}

// kOk, or kInvalidArg for a null output. Registering an output twice is a
// warning and keeps one entry.
int RegisterMessageOutput(MessageOutput* output);
// kOk, or kInvalidArg when the output is not registered. With `announce`
// the removal is logged first, to every output the removed one included.
int UnregisterMessageOutput(MessageOutput* output, bool announce = true);
int32_t GetMessageOutputCount();

}  // namespace klx
