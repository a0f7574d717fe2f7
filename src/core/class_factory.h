#pragma once
// The class factory: class name -> create function, filled at engine start
// by each class's initialisation function and emptied at engine stop. Each
// class declares itself with KLX_DECLARE_CLASS in its body and
// KLX_IMPLEMENT_CLASS / KLX_IMPLEMENT_ABSTRACT_CLASS in its source file; the
// latter registers the class's start-up and shut-down functions with the
// engine's lifecycle from static initialisation, after its base class's.

#include <new>

#include "core/engine_string.h"
#include "core/lifecycle.h"
#include "core/result.h"
#include "core/rtti.h"

namespace klx {

class Object;

// Makes a new object of its class with an empty name: kOk, kOutOfMemory, or
// kFailed for a class that cannot be created (nothing is made).
using CreateFunction = int (*)(Object** out);

// kOk, or kFailed when the name is present already.
int AddCreateFunction(const String& className, CreateFunction create);
int RemoveCreateFunction(const String& className);
// The create function for a class name, or null.
CreateFunction FindCreateFunction(const String& className);
int32_t GetCreateFunctionCount();

// Creates an object by class name: kOk with *out set, kInvalidArg for an
// unknown name, else the create function's result.
int CreateObjectByName(const String& className, Object** out);

namespace detail {

template <class T>
int CreateInstance(Object** out) {
  if (out == nullptr) return kInvalidArg;
  T* object = new (std::nothrow) T(String());
  if (object == nullptr) return kOutOfMemory;
  *out = object;
  return kOk;
}

inline int RefuseInstance(Object**) { return kFailed; }

template <class T>
int ClassStartup() {
  return AddCreateFunction(T::TYPE.GetName(), &T::Create) == kOk ? kOk : kFailed;
}

template <class T>
int ClassShutdown() {
  RemoveCreateFunction(T::TYPE.GetName());
  return kOk;
}

template <class T, class Base>
void RegisterClassOnce() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  Base::RegisterClassFunctions();  // bases start before the classes built on them
  AddInitFunction(&ClassStartup<T>);
  AddShutdownFunction(&ClassShutdown<T>);
}

}  // namespace detail
}  // namespace klx

// In the class body (leaves the access at private).
#define KLX_DECLARE_CLASS(ClassName)                                \
 public:                                                            \
  static const ::klx::RTTI TYPE;                                    \
  const ::klx::RTTI& GetRTTI() const override { return TYPE; }      \
  static int Create(::klx::Object** out);                           \
  static void RegisterClassFunctions();                             \
                                                                    \
 private:

#define KLX_IMPLEMENT_CLASS_WITH(ClassName, BaseName, NameText, CreateExpr)              \
  const ::klx::RTTI ClassName::TYPE(NameText, &BaseName::TYPE);                          \
  int ClassName::Create(::klx::Object** out) { return CreateExpr(out); }                 \
  void ClassName::RegisterClassFunctions() {                                             \
    ::klx::detail::RegisterClassOnce<ClassName, BaseName>();                             \
  }                                                                                      \
  [[maybe_unused]] static const bool kClassRegistered##ClassName =                       \
      (ClassName::RegisterClassFunctions(), true);

// A class the factory creates from its name "KLX.<ClassName>".
#define KLX_IMPLEMENT_CLASS(ClassName, BaseName)                    \
  KLX_IMPLEMENT_CLASS_WITH(ClassName, BaseName, "KLX." #ClassName, \
                           ::klx::detail::CreateInstance<ClassName>)

// An abstract class, or one never loaded from a stream: the factory knows
// its name but refuses to create it.
#define KLX_IMPLEMENT_ABSTRACT_CLASS(ClassName, BaseName)           \
  KLX_IMPLEMENT_CLASS_WITH(ClassName, BaseName, "KLX." #ClassName, \
                           ::klx::detail::RefuseInstance)
