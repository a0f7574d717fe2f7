#pragma once
// A name table that holds one counted reference to each of its objects,
// keyed by the object's name. The module and codec managers keep theirs in
// one; it exists only between Create and ReleaseAll.

#include <memory>
#include <new>

#include "core/name_table.h"

namespace klx {

template <class T>
class CountedNameTable {
 public:
  bool Exists() const { return table_ != nullptr; }

  // False when memory runs out. An existing table is kept.
  bool Create() {
    if (!table_) table_.reset(new (std::nothrow) NameTable<T*>());
    return table_ != nullptr;
  }

  // Removes the table, then releases every object in iteration order (an
  // object destroyed here may look the table up: it is already gone).
  void ReleaseAll() {
    std::unique_ptr<NameTable<T*>> table = std::move(table_);
    if (table) table->ForEach([](const String&, T* object) { object->Release(); });
  }

  T* Find(const String& name) const {
    if (!table_) return nullptr;
    T* const* object = table_->Find(name);
    return object != nullptr ? *object : nullptr;
  }

  // kOk and one reference taken; kFailed when there is no table, the name is
  // present, or the entry cannot be made.
  int Insert(T* object) {
    if (!table_ || table_->Insert(object->GetName(), object) != kOk) return kFailed;
    object->AddRef();
    return kOk;
  }

  int32_t Count() const { return table_ ? table_->Count() : 0; }

  template <class Visit>
  void ForEach(Visit&& visit) const {
    if (table_) table_->ForEach([&](const String&, T* object) { visit(object); });
  }

 private:
  std::unique_ptr<NameTable<T*>> table_;
};

}  // namespace klx
