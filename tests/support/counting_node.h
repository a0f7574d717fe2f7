#pragma once
// A node that draws nothing and counts how often it is asked to draw: how
// a test sees how many times a scene node's effect drew its children.

#include "scene/node.h"

namespace klx::test {

class CountingNode : public Node {
 public:
  CountingNode() : Node(String("counter")) {}
  void DrawSelf(DrawContext*) override { ++draws; }
  void UpdateWorldBound() override {}
  int draws = 0;
};

}  // namespace klx::test
