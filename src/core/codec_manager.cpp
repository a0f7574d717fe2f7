#include "core/codec_manager.h"

#include <memory>

#include "core/lifecycle.h"
#include "core/log.h"
#include "core/module_manager.h"
#include "core/counted_name_table.h"

namespace klx {

namespace {

CountedNameTable<Codec> g_codecs;

}  // namespace

int CodecManager::Startup() {
  LogInfo(KLX_TEXT("Инициализация менеджера кодеков."));
  if (!g_codecs.Create()) {
    LogError(KLX_TEXT("Недостаточно памяти для инициализации менеджера кодеков."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Менеджер кодеков инициализирован."));
  return kOk;
}

int CodecManager::Shutdown() {
  LogInfo(KLX_TEXT("Завершение работы менеджера кодеков."));
  g_codecs.ReleaseAll();
  LogInfo(KLX_TEXT("Менеджер кодеков завершил работу."));
  return kOk;
}

bool CodecManager::IsStarted() { return g_codecs.Exists(); }

int CodecManager::RegisterCodec(Codec* codec) {
  if (codec == nullptr) {
    LogWarning(KLX_TEXT("Указатель на кодек равен 0 при регистрации."));
    return kInvalidArg;
  }
  if (g_codecs.Find(codec->GetName()) != nullptr) {
    LogWarning(KLX_TEXT("Кодек с именем [%s] уже зарегестрирован."), codec->GetName().CStr());
    return kFailed;
  }
  if (g_codecs.Insert(codec) != kOk) {
    LogWarning(KLX_TEXT("Невозможно вставить кодек [%s] в таблицу кодеков."),
               codec->GetName().CStr());
    return kFailed;
  }
  return kOk;
}

Codec* CodecManager::FindCodec(const String& name) {
  return g_codecs.Find(name);
}

int32_t CodecManager::GetCodecCount() { return g_codecs.Count(); }

void CodecManager::LoadCodecModules(std::initializer_list<const char*> names) {
  for (const char* name : names) (void)ModuleManager::LoadModule(String(name), nullptr);
  for (const char* name : names) (void)LoadCodec(String(name), nullptr);
}

int CodecManager::LoadCodec(const String& name, Codec** out) {
  if (Codec* registered = FindCodec(name)) {
    if (out != nullptr) *out = registered;
    return kOk;
  }
  LogInfo(KLX_TEXT("Загружается кодек [%s]."), name.CStr());
  Module* module = ModuleManager::FindModule(name);
  if (module == nullptr) {
    LogError(KLX_TEXT("Не найден модуль для кодека [%s]."), name.CStr());
    return kInvalidArg;
  }
  CreateCodecEntry createCodec = nullptr;
  if (module->FindEntry(&createCodec, "CreateCodec") != kOk) {
    LogError(KLX_TEXT("В модуле не найдена функция создания кодека [%s]."), name.CStr());
    return kInvalidArg;
  }
  Codec* created = nullptr;
  if (createCodec(&created) != 0 || created == nullptr) {
    LogError(KLX_TEXT("Создание кодека [%s] неудачно."), name.CStr());
    return kFailed;
  }
  // Held here until registered; a failed registration destroys it.
  Ref<Codec> codec(created);
  codec->SetModule(module);
  if (RegisterCodec(codec.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно зарегестрировать кодек [%s]."), name.CStr());
    return kFailed;
  }
  if (out != nullptr) *out = codec.Get();
  return kOk;
}

Codec* CodecManager::FindCodecForFileName(const String& fileName) {
  Codec* found = nullptr;
  g_codecs.ForEach([&](Codec* codec) {
    if (found == nullptr && codec->HandlesFileName(fileName) == 0) found = codec;
  });
  return found;
}

void CodecManager::RegisterLifecycleFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  ModuleManager::RegisterLifecycleFunctions();  // modules come up first
  AddInitFunction(&CodecManager::Startup);
  AddShutdownFunction(&CodecManager::Shutdown);
}

[[maybe_unused]] static const bool kCodecManagerRegistered =
    (CodecManager::RegisterLifecycleFunctions(), true);

}  // namespace klx
