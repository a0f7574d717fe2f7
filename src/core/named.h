#pragma once

#include "core/engine_string.h"

namespace klx {

// The named base: a name and the virtual operation that sets it.
class Named {
 public:
  explicit Named(const String& name = String()) : name_(name) {}
  virtual ~Named() = default;

  virtual void SetName(const String& name) { name_ = name; }
  const String& GetName() const { return name_; }

 protected:
  String name_;
};

}  // namespace klx
