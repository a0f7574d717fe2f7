#pragma once
// Classes for the scene fuzzer, so links, sharing, back links and
// controllers are reachable before the real scene classes exist. A holder's
// link is a plain pointer and every object a holder reads is kept in a pool
// that the fuzzer empties after each input: cycles in the input then cost
// no leak, while every other object still lives by its counted references.

#include <vector>

#include "core/controller.h"
#include "core/object.h"

namespace klx::fuzz {

class FuzzController : public Controller {
  KLX_DECLARE_CLASS(FuzzController)

 public:
  explicit FuzzController(const String& name) : Controller(name) {}
};

class FuzzHolder : public Object {
  KLX_DECLARE_CLASS(FuzzHolder)

 public:
  explicit FuzzHolder(const String& name) : Object(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  Object* link = nullptr;
  int32_t value = 0;
};

// Objects read through holder links during the current input.
std::vector<Ref<Object>>& HolderPool();

}  // namespace klx::fuzz
