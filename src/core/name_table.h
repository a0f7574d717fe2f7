#pragma once
// The engine's string-keyed hash table: 32 fixed buckets, exact
// (case-sensitive) keys, insertion fails on a key already present. Iteration
// runs bucket 0 to 31 and, within a bucket, in insertion order. Values are
// stored as given; the table never takes references itself.

#include <cstdint>
#include <new>

#include "core/engine_string.h"
#include "core/result.h"

namespace klx {

// Hash of a name: for i = n-1 down to 1, h = (h << 2) | byte[i]. The first
// byte is not hashed, so names differing only there share a bucket.
uint32_t HashName(const String& key);

template <class V>
class NameTable {
 public:
  using HashFunction = uint32_t (*)(const String&);
  static constexpr int32_t kBucketCount = 32;

  explicit NameTable(HashFunction hash = &HashName) : hash_(hash) {}
  ~NameTable() { Clear(); }
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;

  // kOk, kFailed when the key is present, kOutOfMemory.
  int Insert(const String& key, V value) {
    Entry** link = &buckets_[BucketOf(key)];
    while (*link != nullptr) {
      if ((*link)->key == key) return kFailed;
      link = &(*link)->next;
    }
    Entry* entry = new (std::nothrow) Entry{key, value, nullptr};
    if (entry == nullptr) return kOutOfMemory;
    *link = entry;
    ++count_;
    return kOk;
  }

  // The value slot for the key, or null.
  V* Find(const String& key) {
    for (Entry* entry = buckets_[BucketOf(key)]; entry != nullptr; entry = entry->next) {
      if (entry->key == key) return &entry->value;
    }
    return nullptr;
  }
  const V* Find(const String& key) const { return const_cast<NameTable*>(this)->Find(key); }

  // kOk, or kInvalidArg when the key is absent.
  int Remove(const String& key) {
    for (Entry** link = &buckets_[BucketOf(key)]; *link != nullptr; link = &(*link)->next) {
      if ((*link)->key == key) {
        Entry* entry = *link;
        *link = entry->next;
        delete entry;
        --count_;
        return kOk;
      }
    }
    return kInvalidArg;
  }

  // Calls visit(key, value) for every entry in iteration order.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    for (const Entry* bucket : buckets_) {
      for (const Entry* entry = bucket; entry != nullptr; entry = entry->next) {
        visit(entry->key, entry->value);
      }
    }
  }

  void Clear() {
    for (Entry*& bucket : buckets_) {
      while (bucket != nullptr) {
        Entry* next = bucket->next;
        delete bucket;
        bucket = next;
      }
    }
    count_ = 0;
  }

  int32_t Count() const { return count_; }
  int32_t BucketOf(const String& key) const {
    return static_cast<int32_t>(hash_(key) % static_cast<uint32_t>(kBucketCount));
  }

 private:
  struct Entry {
    String key;
    V value;
    Entry* next;
  };

  HashFunction hash_;
  Entry* buckets_[kBucketCount] = {};
  int32_t count_ = 0;
};

}  // namespace klx
