#include "core/lifecycle.h"

#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <memory>
#include <utility>

#include "core/array.h"
#include "core/log.h"

namespace klx {

namespace {

using FunctionArray = Array<LifecycleFunction>;

// The lists live until process exit; each is made on first use, because the
// registrations come from static initialisers in any order.
struct FunctionLists {
  std::unique_ptr<FunctionArray> init;
  std::unique_ptr<FunctionArray> postInit;
  std::unique_ptr<FunctionArray> shutdown;
};

FunctionLists& Lists() {
  static FunctionLists lists;
  return lists;
}

void AddFunction(std::unique_ptr<FunctionArray>& list, LifecycleFunction function,
                 const char* outOfMemoryMessage) {
  if (!list) {
    list.reset(new (std::nothrow) FunctionArray(1, 2));
    if (!list || list->Capacity() == 0) {
      list.reset();
      LogCritical("%s", outOfMemoryMessage);
      return;
    }
  }
  list->Append(function);
}

// Index of the first failing function, or -1 when all succeed.
int32_t RunFunctions(const std::unique_ptr<FunctionArray>& list) {
  if (!list) return -1;
  // By index: a function may register more functions while it runs.
  for (int32_t i = 0; i < list->Count(); ++i) {
    if ((*list)[i]() != kOk) return i;
  }
  return -1;
}

int32_t CountOf(const std::unique_ptr<FunctionArray>& list) { return list ? list->Count() : 0; }

}  // namespace

void AddInitFunction(LifecycleFunction function) {
  AddFunction(Lists().init, function,
              KLX_TEXT("Недостаточно памяти для создания массива функций инициализации."));
}

void AddPostInitFunction(LifecycleFunction function) {
  AddFunction(Lists().postInit, function,
              KLX_TEXT("Недостаточно памяти для создания массива функций постинициализации."));
}

void AddShutdownFunction(LifecycleFunction function) {
  AddFunction(Lists().shutdown, function,
              KLX_TEXT("Недостаточно памяти для создания массива функций деинициализации."));
}

int EngineStart() {
  LogInfo(KLX_TEXT("Инициализация движка v.%d.%d.%d:"), kEngineVersionMajor,
          kEngineVersionMinor, kEngineVersionBuild);
  // The process id joins the time: runs started in the same second (a host
  // starts one per monitor) play their views in different orders.
  std::srand(static_cast<unsigned>(std::time(nullptr)) ^ (static_cast<unsigned>(getpid()) << 16));
  if (RunFunctions(Lists().init) >= 0) {
    LogError(KLX_TEXT("Инициализация движка неудачно."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Инициализация движка завершилась удачно."));
  LogInfo(KLX_TEXT("Постинициализация движка:"));
  if (RunFunctions(Lists().postInit) >= 0) {
    LogError(KLX_TEXT("Постинициализация движка неудачна."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Постинициализация движка завершилась удачно."));
  return kOk;
}

int EngineStop() {
  LogInfo(KLX_TEXT("Завершение работы движка:"));
  if (RunFunctions(Lists().shutdown) >= 0) {
    LogError(KLX_TEXT("Завершение работы движка неудачно."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Завершение работы движка завершилось удачно."));
  return kOk;
}

LifecycleCounts GetLifecycleCounts() {
  const FunctionLists& lists = Lists();
  return {CountOf(lists.init), CountOf(lists.postInit), CountOf(lists.shutdown)};
}

struct ScopedEmptyLifecycle::Saved {
  FunctionLists lists;
};

ScopedEmptyLifecycle::ScopedEmptyLifecycle() : saved_(new Saved) {
  std::swap(saved_->lists, Lists());
}

ScopedEmptyLifecycle::~ScopedEmptyLifecycle() {
  std::swap(saved_->lists, Lists());
  delete saved_;
}

}  // namespace klx
