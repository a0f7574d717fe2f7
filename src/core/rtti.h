#pragma once
// Class records: one static record per engine class, naming the class
// ("KLX." and the class name, the text the stream stores) and its base.

#include "core/named.h"

namespace klx {

class RTTI : public Named {
 public:
  RTTI(const char* name, const RTTI* parent);
  RTTI(const RTTI&) = delete;
  RTTI& operator=(const RTTI&) = delete;

  const RTTI* GetParent() const { return parent_; }
  // True when this record or one of its ancestors is `other`.
  bool IsDerivedFrom(const RTTI& other) const;

  // Every record built so far, newest first (for diagnostics and tests).
  static const RTTI* First() { return first_; }
  const RTTI* Next() const { return next_; }
  static const RTTI* Find(const String& name);

 private:
  const RTTI* parent_;
  const RTTI* next_;
  // Zero-initialised before any dynamic initialisation, so records may be
  // built in any order.
  static const RTTI* first_;
};

}  // namespace klx
