#include "core/class_factory.h"

#include "core/name_table.h"

namespace klx {

namespace {

// Built on first use: classes enter their functions from static
// initialisers that may run before this file's.
NameTable<CreateFunction>& Factory() {
  static NameTable<CreateFunction> factory;
  return factory;
}

}  // namespace

int AddCreateFunction(const String& className, CreateFunction create) {
  return Factory().Insert(className, create) == kOk ? kOk : kFailed;
}

int RemoveCreateFunction(const String& className) { return Factory().Remove(className); }

CreateFunction FindCreateFunction(const String& className) {
  CreateFunction* create = Factory().Find(className);
  return create != nullptr ? *create : nullptr;
}

int32_t GetCreateFunctionCount() { return Factory().Count(); }

int CreateObjectByName(const String& className, Object** out) {
  CreateFunction create = FindCreateFunction(className);
  if (create == nullptr) return kInvalidArg;
  return create(out);
}

}  // namespace klx
