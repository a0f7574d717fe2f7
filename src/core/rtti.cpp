#include "core/rtti.h"

namespace klx {

const RTTI* RTTI::first_ = nullptr;

RTTI::RTTI(const char* name, const RTTI* parent)
    : Named(String(name)), parent_(parent), next_(first_) {
  first_ = this;
}

bool RTTI::IsDerivedFrom(const RTTI& other) const {
  for (const RTTI* record = this; record != nullptr; record = record->parent_) {
    if (record == &other) return true;
  }
  return false;
}

const RTTI* RTTI::Find(const String& name) {
  for (const RTTI* record = first_; record != nullptr; record = record->next_) {
    if (record->GetName() == name) return record;
  }
  return nullptr;
}

}  // namespace klx
