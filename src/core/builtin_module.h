#pragma once
// Built-in modules: a StaticModule with "Initialize" and "Shutdown" entries
// that do nothing, plus the module's own entries, registered with the module
// manager at post-initialization (after the managers have started).
//
//   KLX_BUILTIN_CODEC_MODULE(BMPImageCodec, "BMPImageCodec", &CreateBmpCodec)
//
// enters the registration of module "BMPImageCodec" with its "CreateCodec"
// entry into the post-initialization list from static initialisation.

#include <initializer_list>

#include "core/lifecycle.h"
#include "core/module.h"

namespace klx {

struct BuiltinSymbol {
  const char* name;
  ModuleSymbol function;
};

// Makes and registers the module: 0, or 1 when it cannot be made or
// registered.
int RegisterBuiltinModule(const char* name, std::initializer_list<BuiltinSymbol> symbols);

}  // namespace klx

#define KLX_BUILTIN_MODULE(Id, NameText, ...)                                              \
  namespace {                                                                              \
  int RegisterBuiltinModule##Id() {                                                        \
    return ::klx::RegisterBuiltinModule(NameText, {__VA_ARGS__});                          \
  }                                                                                        \
  [[maybe_unused]] const bool kBuiltinModuleEntered##Id =                                  \
      (::klx::AddPostInitFunction(&RegisterBuiltinModule##Id), true);                      \
  }

#define KLX_BUILTIN_CODEC_MODULE(Id, NameText, CreateCodecFunction)                        \
  KLX_BUILTIN_MODULE(Id, NameText,                                                         \
                     ::klx::BuiltinSymbol{"CreateCodec",                                   \
                                          reinterpret_cast<::klx::ModuleSymbol>(           \
                                              static_cast<::klx::CreateCodecEntry>(        \
                                                  CreateCodecFunction))})
