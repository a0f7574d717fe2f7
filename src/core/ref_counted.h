#pragma once
// Counted references. The holder of a reference increments the count; the
// release that takes it from 1 to 0 destroys the object.

#include <cstdint>
#include <utility>

namespace klx {

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) : count_(0) {}
  RefCounted& operator=(const RefCounted&) { return *this; }
  // Destroying an object that still has references only logs a warning.
  virtual ~RefCounted();

  void AddRef() { ++count_; }
  // Drops one reference; destroys the object when it was the last.
  void Release();
  int32_t GetRefCount() const { return count_; }

 private:
  int32_t count_ = 0;
};

// A counted reference: holds one reference to its object while it points at
// it. Assigning takes the new reference before dropping the old one, so
// assigning the object it already holds is harmless.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}  // NOLINT: implicit by design
  Ref(T* object) : object_(object) {  // NOLINT: implicit by design
    if (object_ != nullptr) object_->AddRef();
  }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref(Ref&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  template <class U>
  Ref(const Ref<U>& other) : Ref(other.Get()) {}  // NOLINT: implicit upcast
  ~Ref() {
    if (object_ != nullptr) object_->Release();
  }

  Ref& operator=(T* object) {
    if (object != object_) {
      if (object != nullptr) object->AddRef();
      T* old = object_;
      object_ = object;
      if (old != nullptr) old->Release();
    }
    return *this;
  }
  Ref& operator=(const Ref& other) { return *this = other.object_; }
  Ref& operator=(Ref&& other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }
  bool operator==(const Ref& other) const { return object_ == other.object_; }
  bool operator==(const T* object) const { return object_ == object; }

 private:
  T* object_ = nullptr;
};

}  // namespace klx
