// The engine started for one benchmark call and stopped after it. A
// benchmark that leaves the engine running makes the next one's start fail,
// so every benchmark that needs the engine holds one of these; objects made
// under it must be released before it goes (declare it first).

#pragma once

#include "core/lifecycle.h"
#include "core/result.h"

namespace klx {

class EngineSession {
 public:
  EngineSession() : started_(EngineStart() == kOk) {}
  ~EngineSession() {
    if (started_) EngineStop();
  }
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  bool Started() const { return started_; }

 private:
  bool started_;
};

}  // namespace klx
