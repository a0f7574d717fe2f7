#include "core/controller.h"

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Controller, Object)

Controller::Controller(const String& name) : Object(name) {}

int Controller::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"),
             GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteBool(active_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить флаг активности контроллера. Имя[%s] ID[%d]"),
             GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int Controller::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (stream.ReadBool(active_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить флаг активности контроллера. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  return kOk;
}

void Controller::Update(double) {}

void Controller::Reset() {}

}  // namespace klx
