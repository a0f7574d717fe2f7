#include "platform/font_manager.h"

#include "core/counted_name_table.h"
#include "core/lifecycle.h"
#include "core/log.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Font, Object)

namespace {
CountedNameTable<Font> g_fonts;
}  // namespace

int FontManager::Startup() {
  LogInfo(KLX_TEXT("Инициализация менеджера шрифтов."));
  if (!g_fonts.Create()) {
    LogError(KLX_TEXT("Недостаточно памяти для инициализации менеджера шрифтов."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Менеджер шрифтов инициализирован."));
  return kOk;
}

int FontManager::Shutdown() {
  LogInfo(KLX_TEXT("Завершение работы менеджера шрифтов."));
  g_fonts.ReleaseAll();
  LogInfo(KLX_TEXT("Менеджер шрифтов завершил работу."));
  return kOk;
}

bool FontManager::IsStarted() { return g_fonts.Exists(); }

int FontManager::RegisterFont(Font* font) {
  if (font == nullptr) return kInvalidArg;
  return g_fonts.Insert(font);
}

Font* FontManager::FindFont(const String& name) { return g_fonts.Find(name); }

void FontManager::RegisterLifecycleFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddInitFunction(&FontManager::Startup);
  AddShutdownFunction(&FontManager::Shutdown);
}

[[maybe_unused]] static const bool kFontManagerRegistered =
    (FontManager::RegisterLifecycleFunctions(), true);

}  // namespace klx
