#include "core/ref_counted.h"

#include "core/log.h"

namespace klx {

RefCounted::~RefCounted() {
  if (count_ > 0) {
    LogWarning(KLX_TEXT("Удаление объекта, имеющего ссылки. Количество ссылок [%d]."), count_);
  }
}

void RefCounted::Release() {
  if (count_ <= 0) {
    // A release without a matching reference: the count would go negative
    // and a later release would destroy the object a second time.
    LogWarning(KLX_TEXT("Освобождение объекта без ссылок. Количество ссылок [%d]."), count_);
    return;
  }
  if (--count_ == 0) delete this;
}

}  // namespace klx
