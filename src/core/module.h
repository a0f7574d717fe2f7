#pragma once
// Modules export entry points by name. A StaticModule is built into the
// executable (its symbols are a table filled before it registers); a
// DynamicModule is a shared library ("<module name>.so") loaded at run time.
// Every module exports "Initialize" and "Shutdown"; codec modules also
// "CreateCodec", the renderer module "CreateRenderer".

#include <cstddef>

#include "core/engine_string.h"
#include "core/name_table.h"
#include "core/named.h"
#include "core/ref_counted.h"

namespace klx {

class Codec;

// An entry point of unknown signature; cast to the right type before calling.
using ModuleSymbol = void (*)();
using InitializeEntry = int (*)();
using ShutdownEntry = int (*)();
using CreateCodecEntry = int (*)(Codec** out);

class Module : public RefCounted, public Named {
 public:
  explicit Module(const String& name) : Named(name) {}

  // kOk with *out set; kInvalidArg for a null out; kFailed when missing.
  virtual int FindSymbol(ModuleSymbol* out, const String& name) = 0;

  // Looks an entry point up as the given function type.
  template <class Entry>
  int FindEntry(Entry* out, const char* name) {
    ModuleSymbol symbol = nullptr;
    const int result = FindSymbol(out != nullptr ? &symbol : nullptr, String(name));
    if (result == kOk) *out = reinterpret_cast<Entry>(symbol);
    return result;
  }

 protected:
  // Calls the module's "Shutdown" entry; each kind calls it first thing in
  // its destructor, while its symbols are still reachable.
  void RunShutdownEntry();
};

class StaticModule : public Module {
 public:
  explicit StaticModule(const String& name) : Module(name) {}
  ~StaticModule() override;

  // kOk, or kFailed when the name is taken.
  int AddSymbol(const String& name, ModuleSymbol function);
  int FindSymbol(ModuleSymbol* out, const String& name) override;

 private:
  NameTable<ModuleSymbol> symbols_;
};

class DynamicModule : public Module {
 public:
  explicit DynamicModule(const String& name) : Module(name) {}
  ~DynamicModule() override;

  // Loads the library from a file path.
  int LoadFromFile(const String& path);
  // Loads the library from bytes in memory, through an anonymous memory
  // file, or a temporary file where memory files are unavailable.
  int LoadFromMemory(const void* bytes, std::size_t size);
  // kOk; kInvalidArg when nothing is loaded; kFailed when the system refuses.
  int Unload();
  bool IsLoaded() const { return handle_ != nullptr; }

  int FindSymbol(ModuleSymbol* out, const String& name) override;

 private:
  void* handle_ = nullptr;
  // The anonymous memory file the library was loaded from, or -1.
  int memoryFd_ = -1;
};

}  // namespace klx
