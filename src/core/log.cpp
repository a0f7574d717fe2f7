#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "core/array.h"

namespace klx {

namespace {

// Cleared when the registry is destroyed at process exit, so messages logged
// by later static destructors go nowhere instead of into freed memory.
bool g_registryAlive = false;

struct OutputRegistry {
  OutputRegistry() { g_registryAlive = true; }
  ~OutputRegistry() {
    g_registryAlive = false;
    outputs.Clear();  // closes the log file
  }
  Array<Ref<MessageOutput>> outputs{1, 1};
};

OutputRegistry& Registry() {
  static OutputRegistry registry;
  return registry;
}

int32_t FindOutput(const MessageOutput* output) {
  const Array<Ref<MessageOutput>>& outputs = Registry().outputs;
  for (int32_t i = 0; i < outputs.Count(); ++i) {
    if (outputs[i].Get() == output) return i;
  }
  return -1;
}

constexpr int kFormatBufferSize = 4096;

void Dispatch(int level, const char* format, va_list args) {
  if (!g_registryAlive || Registry().outputs.Count() == 0) return;

  char buffer[kFormatBufferSize];
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
  std::unique_ptr<char[]> large;
  const char* text = buffer;
  if (length < 0) {
    va_end(copy);
    return;
  }
  if (length >= kFormatBufferSize) {
    // Longer messages are formatted again into a buffer of their own size.
    large.reset(new char[static_cast<std::size_t>(length) + 1]);
    std::vsnprintf(large.get(), static_cast<std::size_t>(length) + 1, format, copy);
    text = large.get();
  }
  va_end(copy);

  // Outputs may log (registering does); hold a reference to each while it
  // writes and walk by index, so the array may change under us.
  const String message(text, length);
  Array<Ref<MessageOutput>>& outputs = Registry().outputs;
  for (int32_t i = 0; i < outputs.Count(); ++i) {
    Ref<MessageOutput> output = outputs[i];
    output->Write(level, message);
  }
}

}  // namespace

void LogMessage(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Dispatch(level, format, args);
  va_end(args);
}


int RegisterMessageOutput(MessageOutput* output) {
  if (output == nullptr) return kInvalidArg;
  Array<Ref<MessageOutput>>& outputs = Registry().outputs;
  if (FindOutput(output) >= 0) {
    LogWarning(KLX_TEXT("Объект вывода сообщений уже зарегестрирован. [%s]"),
               output->GetName().CStr());
    return kOk;
  }
  const int result = outputs.Append(Ref<MessageOutput>(output));
  if (result != kOk) return result;
  LogInfo(KLX_TEXT("Объект вывода сообщений зарегестрирован. [%s]"), output->GetName().CStr());
  return kOk;
}

int UnregisterMessageOutput(MessageOutput* output, bool announce) {
  if (output == nullptr || !g_registryAlive || FindOutput(output) < 0) return kInvalidArg;
  Array<Ref<MessageOutput>>& outputs = Registry().outputs;
  if (announce) LogInfo(KLX_TEXT("Объект вывода сообщений разрегестрирован. [%s]"), output->GetName().CStr());
  // Keep the output alive until it has been removed from the array.
  Ref<MessageOutput> keep(output);
  outputs.RemoveAt(FindOutput(output));
  return kOk;
}

int32_t GetMessageOutputCount() { return g_registryAlive ? Registry().outputs.Count() : 0; }

}  // namespace klx
