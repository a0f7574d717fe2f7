// klx-info: starts the engine, lists what registered itself (classes,
// modules, codecs) and stops it again. With --log FILE the messages go to a
// log file as the program writes it (Windows-1251); otherwise to standard
// error in UTF-8.

#include <cstdio>
#include <cstring>
#include <string>

#include "core/codec_manager.h"
#include "core/class_factory.h"
#include "core/console_message_output.h"
#include "core/file_message_output.h"
#include "core/lifecycle.h"
#include "core/module_manager.h"
#include "core/rtti.h"
#include "sound/sound_manager.h"

namespace {

void PrintClasses() {
  int total = 0;
  int creatable = 0;
  for (const klx::RTTI* record = klx::RTTI::First(); record != nullptr; record = record->Next()) {
    const klx::CreateFunction create = klx::FindCreateFunction(record->GetName());
    const klx::RTTI* parent = record->GetParent();
    std::printf("class %-40s base %-24s %s\n", record->GetName().CStr(),
                parent != nullptr ? parent->GetName().CStr() : "-",
                create == nullptr ? "not registered" : "registered");
    ++total;
    if (create != nullptr) ++creatable;
  }
  std::printf("%d classes, %d in the factory\n", total, creatable);
}

}  // namespace

int main(int argc, char** argv) {
  // With --sound the engine start opens the audio device, as the saver's does.
  const bool withSound = argc > 1 && std::strcmp(argv[1], "--sound") == 0;
  if (withSound) {
    --argc;
    ++argv;
  }
  klx::SoundManager::SetOpenDeviceAtStartup(withSound);
  klx::Ref<klx::MessageOutput> output;
  if (argc == 3 && std::strcmp(argv[1], "--log") == 0) {
    output = new klx::FileMessageOutput(klx::String(argv[2]), klx::String());
  } else if (argc == 1) {
    output = new klx::ConsoleMessageOutput(stderr);
  } else {
    std::fprintf(stderr, "usage: klx-info [--sound] [--log FILE]\n");
    return 2;
  }
  klx::RegisterMessageOutput(output.Get());

  std::printf("engine %d.%d.%d\n", klx::kEngineVersionMajor, klx::kEngineVersionMinor,
              klx::kEngineVersionBuild);
  if (klx::EngineStart() != klx::kOk) {
    std::fprintf(stderr, "engine start failed\n");
    klx::EngineStop();
    return 1;
  }
  PrintClasses();
  std::printf("%d modules, %d codecs registered\n", klx::ModuleManager::GetModuleCount(),
              klx::CodecManager::GetCodecCount());
  const int stopped = klx::EngineStop();
  klx::UnregisterMessageOutput(output.Get());
  return stopped == 0 ? 0 : 1;
}
