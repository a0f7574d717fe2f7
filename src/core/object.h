#pragma once
// The root of every engine class: a name, a process-unique ID, a list of
// attached controllers (newest first) and one reference count. The first
// eight virtual operations of every engine class are, in order: destructor,
// SetName, GetRTTI, Save, Load, FindByName, CollectByType, UpdateControllers.

#include <cstdint>
#include <functional>

#include "core/array.h"
#include "core/class_factory.h"
#include "core/named.h"
#include "core/ref_counted.h"
#include "core/rtti.h"

namespace klx {

class Controller;
class Object;
using LinkVisitor = std::function<void(const Object*)>;
class MemoryStream;

class Object : public Named, public virtual RefCounted {
 public:
  static const RTTI TYPE;
  static int Create(Object** out);
  static void RegisterClassFunctions();

  explicit Object(const String& name);
  ~Object() override;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  void SetName(const String& name) override;
  virtual const RTTI& GetRTTI() const { return TYPE; }
  // Writes the name, then the controllers, oldest attached first.
  [[nodiscard]] virtual int Save(MemoryStream& stream);
  // Reads the name, then the controllers, attaching them in stored order.
  [[nodiscard]] virtual int Load(MemoryStream& stream);
  // This object when its name equals `name` exactly, else the first match
  // among its controllers.
  virtual Object* FindByName(const String& name);
  // Appends this object when its class derives from `type`, then searches
  // the controllers. The array holds plain pointers.
  virtual void CollectByType(const RTTI& type, Array<Object*>& found);
  // Runs each controller's Update with the elapsed seconds, newest first.
  virtual void UpdateControllers(double elapsed);

  int32_t GetID() const { return id_; }
  bool IsKindOf(const RTTI& type) const { return GetRTTI().IsDerivedFrom(type); }

  // kOk; kInvalidArg for a null controller or one that would close a loop
  // (this object among the controller's own controllers); kOutOfMemory.
  // The controller goes to the head of the list and its owner becomes this
  // object.
  [[nodiscard]] int AttachController(Controller* controller);
  int32_t GetControllerCount() const;
  // Index 0 is the newest; null past the end.
  Controller* GetController(int32_t index) const;
  int DetachAllControllers();
  // True when `object` is among this object's controllers, or theirs, at
  // any depth.
  bool ControlsThroughControllers(const Object* object) const;
  // True when `object` is kept alive by this object's counted links, at any
  // depth (each object visited once, however often it is shared). Holding
  // an object that reaches the holder would close a loop of counted
  // references, which nothing would ever free.
  bool Reaches(const Object* object) const;
  // Calls `visit` with each object this one holds by counted reference: its
  // controllers here; classes add what else they hold (animations, children,
  // targets).
  virtual void VisitLinks(const LinkVisitor& visit) const;

  // The ID the next object will take.
  static int32_t PeekNextID();

 private:
  struct ControllerLink;

  int32_t id_;
  ControllerLink* controllers_ = nullptr;
};

// True when `holder` keeping a counted link to `held` would close a loop of
// counted references (`held` is the holder, or holds it at any depth).
// Every link read from a file is checked before it is kept: a loop would
// never be freed.
inline bool ClosesLoop(const Object* holder, const Object* held) {
  return held != nullptr && (held == holder || held->Reaches(holder));
}

// Casts when the object's class derives from T, else null.
template <class T>
T* DynamicCast(Object* object) {
  return object != nullptr && object->IsKindOf(T::TYPE) ? static_cast<T*>(object) : nullptr;
}

}  // namespace klx
