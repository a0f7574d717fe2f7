#include "core/builtin_module.h"

#include <new>

#include "core/module_manager.h"
#include "core/result.h"

namespace klx {

namespace {

int BuiltinInitialize() { return kOk; }
int BuiltinShutdown() { return kOk; }

}  // namespace

int RegisterBuiltinModule(const char* name, std::initializer_list<BuiltinSymbol> symbols) {
  Ref<StaticModule> module(new (std::nothrow) StaticModule(String(name)));
  if (!module) return kFailed;
  module->AddSymbol(String("Initialize"), reinterpret_cast<ModuleSymbol>(&BuiltinInitialize));
  module->AddSymbol(String("Shutdown"), reinterpret_cast<ModuleSymbol>(&BuiltinShutdown));
  for (const BuiltinSymbol& symbol : symbols) module->AddSymbol(String(symbol.name), symbol.function);
  // The manager takes its own reference; ours goes at the end of the scope,
  // which destroys the module when registration failed.
  return ModuleManager::RegisterModule(module.Get()) == kOk ? kOk : kFailed;
}

}  // namespace klx
