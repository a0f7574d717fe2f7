#include "core/module_manager.h"

#include <memory>

#include "core/lifecycle.h"
#include "core/log.h"
#include "core/counted_name_table.h"

namespace klx {

namespace {

CountedNameTable<Module> g_modules;
ModuleManager::LibraryFinder g_libraryFinder = nullptr;

// Loads "<name>.so" from the mounted directories into a new module.
int LoadDynamicModule(const String& name, Ref<Module>* out) {
  LogInfo(KLX_TEXT("Загружается модуль [%s]."), name.CStr());
  const String fileName = name + ModuleManager::kLibrarySuffix;
  std::vector<uint8_t> bytes;
  if (g_libraryFinder == nullptr || !g_libraryFinder(fileName, &bytes) || bytes.empty()) {
    LogWarning(KLX_TEXT("Не найден файл модуля [%s]."), fileName.CStr());
    return kInvalidArg;
  }
  Ref<DynamicModule> module(new (std::nothrow) DynamicModule(name));
  if (!module) {
    LogWarning(KLX_TEXT("Недостаточно памяти для создания модуля [%s]."), name.CStr());
    return kOutOfMemory;
  }
  if (module->LoadFromMemory(bytes.data(), bytes.size()) != kOk) {
    LogWarning(KLX_TEXT("Загрузка модуля [%s] неудачна."), fileName.CStr());
    return kFailed;
  }
  *out = module.Get();
  return kOk;
}

}  // namespace

int ModuleManager::Startup() {
  LogInfo(KLX_TEXT("Инициализация менеджера модулей."));
  if (!g_modules.Create()) {
    LogError(KLX_TEXT("Недостаточно памяти для инициализации менеджера модулей."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Менеджер модулей инициализирован."));
  return kOk;
}

int ModuleManager::Shutdown() {
  LogInfo(KLX_TEXT("Завершение работы менеджера модулей."));
  g_modules.ReleaseAll();
  LogInfo(KLX_TEXT("Менеджер модулей завершил работу."));
  return kOk;
}

bool ModuleManager::IsStarted() { return g_modules.Exists(); }

int ModuleManager::RegisterModule(Module* module) {
  if (module == nullptr) {
    LogWarning(KLX_TEXT("Указатель на модуль равен 0 при регистрации."));
    return kInvalidArg;
  }
  if (g_modules.Find(module->GetName()) != nullptr) {
    LogWarning(KLX_TEXT("Модуль с именем [%s] уже зарегестрирован."), module->GetName().CStr());
    return kFailed;
  }
  if (g_modules.Insert(module) != kOk) {
    LogWarning(KLX_TEXT("Невозможно вставить модуль [%s] в таблицу зарегестрированных модулей."),
               module->GetName().CStr());
    return kFailed;
  }
  return kOk;
}

Module* ModuleManager::FindModule(const String& name) {
  return g_modules.Find(name);
}

int32_t ModuleManager::GetModuleCount() { return g_modules.Count(); }

int ModuleManager::LoadModule(const String& name, Module** out) {
  if (Module* registered = FindModule(name)) {
    if (out != nullptr) *out = registered;
    return kOk;
  }
  LogInfo(KLX_TEXT("Загружается модуль [%s]."), name.CStr());
  Ref<Module> module;
  const int loaded = LoadDynamicModule(name, &module);
  if (loaded != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить модуль [%s]."), name.CStr());
    return loaded;
  }
  module->SetName(name);
  InitializeEntry initialize = nullptr;
  if (module->FindEntry(&initialize, "Initialize") != kOk) {
    LogWarning(KLX_TEXT("В модуле не найдена функция инициализации модуля [%s]."), name.CStr());
  } else if (initialize() != kOk) {
    LogError(KLX_TEXT("Неудачна инициализация модуля."));
    return kFailed;
  }
  if (RegisterModule(module.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно зарегестрировать модуль [%s]."), name.CStr());
    return kFailed;
  }
  if (out != nullptr) *out = module.Get();
  return kOk;
}

void ModuleManager::SetLibraryFinder(LibraryFinder finder) { g_libraryFinder = finder; }

void ModuleManager::RegisterLifecycleFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddInitFunction(&ModuleManager::Startup);
  AddShutdownFunction(&ModuleManager::Shutdown);
}

[[maybe_unused]] static const bool kModuleManagerRegistered =
    (ModuleManager::RegisterLifecycleFunctions(), true);

}  // namespace klx
