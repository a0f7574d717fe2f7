#pragma once
// Prints an object graph as an indented tree: class, name and in-memory ID
// of each object, the fields its class dumper shows, and its links. An
// object met a second time is printed as a reference to its ID; objects
// linked from more than one place are marked shared.
//
// Each class may register a dumper for its own fields (base classes' fields
// are printed first, by their own dumpers, in save order):
//   SceneDumper::Register(SceneNode::TYPE, [](Object* o, SceneDumper& d) { ... });

#include <cstdio>
#include <map>
#include <set>

#include "core/object.h"

namespace klx {

class SceneDumper;
using FieldDumper = void (*)(Object* object, SceneDumper& dumper);

class SceneDumper {
 public:
  explicit SceneDumper(std::FILE* out) : out_(out) {}

  static void Register(const RTTI& type, FieldDumper dumper);

  // Prints the whole graph below `root`.
  void Dump(Object* root);

  // For dumpers: one field line, printf-style (Windows-1251 texts are
  // shown as UTF-8).
  void Field(const char* name, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // For dumpers: a link to another object, followed into on first sight.
  void Link(const char* name, Object* object);

 private:
  void Visit(const char* label, Object* object);

  std::FILE* out_;
  bool printing_ = false;
  int depth_ = 0;
  std::map<Object*, int> links_;
  std::set<Object*> visited_;
};

}  // namespace klx
