#include "core/builtin_module.h"

#include <new>

#include "core/module_manager.h"

namespace klx {

namespace {

int BuiltinInitialize() { return 0; }
int BuiltinShutdown() { return 0; }

}  // namespace

int RegisterBuiltinModule(const char* name, std::initializer_list<BuiltinSymbol> symbols) {
  Ref<StaticModule> module(new (std::nothrow) StaticModule(String(name)));
  if (!module) return 1;
  module->AddSymbol(String("Initialize"), reinterpret_cast<ModuleSymbol>(&BuiltinInitialize));
  module->AddSymbol(String("Shutdown"), reinterpret_cast<ModuleSymbol>(&BuiltinShutdown));
  for (const BuiltinSymbol& symbol : symbols) module->AddSymbol(String(symbol.name), symbol.function);
  // The manager takes its own reference; ours goes at the end of the scope,
  // which destroys the module when registration failed.
  return ModuleManager::RegisterModule(module.Get()) == kOk ? 0 : 1;
}

}  // namespace klx
