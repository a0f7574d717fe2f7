#pragma once
// Test-only engine classes, registered under "TEST." names so they never
// mix with the engine's own classes.

#include "core/controller.h"
#include "core/object.h"

namespace klx::test {

// Counts its updates; stores a number of its own.
class TestController : public Controller {
  KLX_DECLARE_CLASS(TestController)

 public:
  explicit TestController(const String& name) : Controller(name) {}
  void Update(double elapsed) override {
    ++updates;
    lastElapsed = elapsed;
  }
  int updates = 0;
  double lastElapsed = 0;
};

// An object with one counted link and a value, saved after the object data.
class TestHolder : public Object {
  KLX_DECLARE_CLASS(TestHolder)

 public:
  explicit TestHolder(const String& name) : Object(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  Ref<Object> link;
  int32_t value = 0;
};

// A small hierarchy: an abstract base with two sibling classes.
class TestBase : public Object {
  KLX_DECLARE_CLASS(TestBase)

 public:
  explicit TestBase(const String& name) : Object(name) {}
};

class TestLeafA : public TestBase {
  KLX_DECLARE_CLASS(TestLeafA)

 public:
  explicit TestLeafA(const String& name) : TestBase(name) {}
};

class TestLeafB : public TestBase {
  KLX_DECLARE_CLASS(TestLeafB)

 public:
  explicit TestLeafB(const String& name) : TestBase(name) {}
};

}  // namespace klx::test
