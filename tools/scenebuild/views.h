#pragma once
// The valley's views: cameras with their moves and aims, grouped into the
// camera sets the screensaver controller cuts between.

#include "core/math_types.h"

namespace klx {
class Node;
class SceneNode;
}  // namespace klx

namespace klx::scenebuild {

struct Loop;

// From the campfire towards its close view (unit length, level); the tree
// that the view hides stands on this line.
inline const Vector3 kFireCloseView{0.6f, 0.0f, -0.8f};

// What the views look at.
struct Subjects {
  SceneNode* car = nullptr;
  const Loop* carLoop = nullptr;  // the car's drive, for the views that follow it
  Node* campfire = nullptr;
  Node* flock = nullptr;         // a flock that passes low along the near shore
  Node* fireSideTree = nullptr;  // stands between one fire view and the fire
};

// Adds every camera, the look-at targets and the screensaver controller
// (on `root`) with its sets. False (after a message on stderr) when a
// controller cannot be attached.
bool AddViews(SceneNode& root, const Subjects& subjects);

}  // namespace klx::scenebuild
