#include "core/object.h"

#include <algorithm>
#include <new>
#include <unordered_set>
#include <vector>

#include "core/controller.h"
#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

namespace {

// IDs are never reused, whatever the class.
int32_t g_nextObjectID = 0;

int ObjectStartup() {
  if (AddCreateFunction(Object::TYPE.GetName(), &Object::Create) != kOk) {
    LogCritical(KLX_TEXT("Инициализация класса [Object] прошла неудачно."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Инициализация класса [Object] прошла удачно."));
  return kOk;
}

int ObjectShutdown() {
  RemoveCreateFunction(Object::TYPE.GetName());
  LogInfo(KLX_TEXT("Завершение работы класса [Object] прошло удачно."));
  return kOk;
}

}  // namespace

struct Object::ControllerLink {
  Ref<Controller> controller;
  ControllerLink* next;
};

const RTTI Object::TYPE("KLX.Object", nullptr);

int Object::Create(Object**) {
  LogCritical(KLX_TEXT("Создание объекта абстрактного класса [Object]."));
  return kFailed;
}

void Object::RegisterClassFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddInitFunction(&ObjectStartup);
  AddShutdownFunction(&ObjectShutdown);
}

[[maybe_unused]] static const bool kObjectRegistered = (Object::RegisterClassFunctions(), true);

Object::Object(const String& name) : Named(name), id_(g_nextObjectID++) {}

Object::~Object() {
  if (DetachAllControllers() != kOk) {
    LogError(KLX_TEXT("Невозможно удалить контроллеры объекта. Имя[%s] ID[%d]"), name_.CStr(), id_);
  }
}

int32_t Object::PeekNextID() { return g_nextObjectID; }

void Object::SetName(const String& name) { name_ = name; }

Object* Object::FindByName(const String& name) {
  if (name_ == name) return this;
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) {
    if (Object* found = link->controller->FindByName(name)) return found;
  }
  return nullptr;
}

void Object::CollectByType(const RTTI& type, Array<Object*>& found) {
  if (IsKindOf(type)) found.Append(this);
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) {
    link->controller->CollectByType(type, found);
  }
}

void Object::UpdateControllers(double elapsed) {
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) {
    link->controller->Update(elapsed);
  }
}

int Object::Save(MemoryStream& stream) {
  if (stream.WriteString(name_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить имя объекта. Имя[%s] ID[%d]"), name_.CStr(), id_);
    return kFailed;
  }
  const int32_t count = GetControllerCount();
  if (stream.WriteInt32(count) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество контроллеров объекта. Имя[%s] ID[%d]"),
             name_.CStr(), id_);
    return kFailed;
  }
  // The list holds the newest first; the stream stores the oldest first.
  std::vector<Controller*> oldestFirst;
  oldestFirst.reserve(static_cast<std::size_t>(count));
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) {
    oldestFirst.push_back(link->controller.Get());
  }
  for (auto it = oldestFirst.rbegin(); it != oldestFirst.rend(); ++it) {
    if (stream.WriteObject(*it) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить контроллер объекта. Имя[%s] ID[%d]"), name_.CStr(),
               id_);
      return kFailed;
    }
  }
  return kOk;
}

int Object::Load(MemoryStream& stream) {
  String name;
  if (stream.ReadString(name) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить имя объекта. ID[%d]"), id_);
    return kFailed;
  }
  SetName(name);
  int32_t count = 0;
  if (stream.ReadInt32(count) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить количество контроллеров объекта. Имя[%s] ID[%d]"),
             name_.CStr(), id_);
    return kFailed;
  }
  for (int32_t i = 0; i < count; ++i) {
    Controller* controller = nullptr;
    if (stream.ReadObjectOf(controller) != kOk) {
      LogError(KLX_TEXT("Невозможно загрузить контроллер объекта. Имя[%s] ID[%d]"), name_.CStr(),
               id_);
      return kFailed;
    }
    if (AttachController(controller) != kOk) {
      LogError(KLX_TEXT("Невозможно установить контроллер объекта. Имя[%s] ID[%d]"), name_.CStr(),
               id_);
      return kFailed;
    }
  }
  return kOk;
}

int Object::AttachController(Controller* controller) {
  if (controller == nullptr) {
    LogWarning(KLX_TEXT("Указатель на устанавливаемый контроллер равен 0. Имя[%s] ID[%d]"),
               name_.CStr(), id_);
    return kInvalidArg;
  }
  // Controllers may carry controllers of their own; a loop among them would
  // make every search and update run forever (a damaged file can ask for it).
  if (controller == this || controller->Reaches(this)) {
    LogWarning(KLX_TEXT("Установка контроллера [%s] ID[%d] создаёт цикл контроллеров. "
                        "Имя[%s] ID[%d]"),
               controller->GetName().CStr(), controller->GetID(), name_.CStr(), id_);
    return kInvalidArg;
  }
  ControllerLink* link = new (std::nothrow) ControllerLink{Ref<Controller>(controller), controllers_};
  if (link == nullptr) {
    LogWarning(KLX_TEXT("Недостаточно памяти для создания узла списка при установке контроллера. "
                        "Имя[%s] ID[%d]"),
               name_.CStr(), id_);
    return kOutOfMemory;
  }
  controllers_ = link;
  controller->SetOwner(this);
  return kOk;
}

void Object::VisitLinks(const LinkVisitor& visit) const {
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) visit(link->controller.Get());
}

bool Object::Reaches(const Object* object) const {
  // A walk over the graph of counted links that visits each object once: a
  // file may share objects so that a plain recursive walk would take
  // exponential time. Most walks are short (a child with a few links), so
  // the objects seen are searched in a small array until there are many.
  constexpr size_t kLinearSeen = 32;
  std::vector<const Object*> seenList{this};
  std::unordered_set<const Object*> seenSet;
  auto firstSeen = [&](const Object* held) {
    if (seenSet.empty()) {
      if (std::find(seenList.begin(), seenList.end(), held) != seenList.end()) return false;
      seenList.push_back(held);
      if (seenList.size() > kLinearSeen) seenSet.insert(seenList.begin(), seenList.end());
      return true;
    }
    return seenSet.insert(held).second;
  };
  std::vector<const Object*> pending{this};
  bool found = false;
  const LinkVisitor visit = [&](const Object* held) {
    if (held == nullptr || found) return;
    if (held == object) {
      found = true;
      return;
    }
    if (firstSeen(held)) pending.push_back(held);
  };
  while (!pending.empty() && !found) {
    const Object* next = pending.back();
    pending.pop_back();
    next->VisitLinks(visit);
  }
  return found;
}

bool Object::ControlsThroughControllers(const Object* object) const {
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) {
    if (link->controller.Get() == object || link->controller->ControlsThroughControllers(object)) {
      return true;
    }
  }
  return false;
}

int32_t Object::GetControllerCount() const {
  int32_t count = 0;
  for (ControllerLink* link = controllers_; link != nullptr; link = link->next) ++count;
  return count;
}

Controller* Object::GetController(int32_t index) const {
  ControllerLink* link = controllers_;
  for (int32_t i = 0; link != nullptr && i < index; ++i) link = link->next;
  return index >= 0 && link != nullptr ? link->controller.Get() : nullptr;
}

int Object::DetachAllControllers() {
  // Unlink first: a controller released here may look at its owner's list.
  ControllerLink* link = controllers_;
  controllers_ = nullptr;
  while (link != nullptr) {
    ControllerLink* next = link->next;
    if (link->controller->GetOwner() == this) link->controller->SetOwner(nullptr);
    delete link;
    link = next;
  }
  return kOk;
}

}  // namespace klx
