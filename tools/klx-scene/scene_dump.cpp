#include "scene_dump.h"

#include <cstdarg>
#include <string>
#include <vector>

#include "animation/animation_controller.h"
#include "animation/camera_activate_animation_controller.h"
#include "animation/camera_culled_controller.h"
#include "animation/screensaver_controller.h"
#include "animation/target_controllers.h"
#include "scene/camera.h"
#include "core/controller.h"
#include "core/cp1251.h"
#include "scene/bounding_volume.h"
#include "scene/scene_node.h"

namespace klx {

namespace {

std::map<const RTTI*, FieldDumper>& Dumpers() {
  static std::map<const RTTI*, FieldDumper> dumpers;
  return dumpers;
}

std::string Utf8(const String& text) {
  return Cp1251ToUtf8(std::string_view(text.CStr(), static_cast<size_t>(text.Length())));
}

void DumpObjectFields(Object* object, SceneDumper& dumper) {
  for (int32_t i = object->GetControllerCount() - 1; i >= 0; --i) {
    dumper.Link("controller", object->GetController(i));
  }
}

void DumpControllerFields(Object* object, SceneDumper& dumper) {
  dumper.Field("active", "%s", static_cast<Controller*>(object)->IsActive() ? "true" : "false");
}

void DumpTransform(SceneDumper& dumper, const char* name, const Transform& t) {
  dumper.Field(name, "scale (%g, %g, %g) rotation (%g, %g, %g, %g) translation (%g, %g, %g)%s", t.scale.x,
               t.scale.y, t.scale.z, t.rotation.x, t.rotation.y, t.rotation.z, t.rotation.w, t.translation.x,
               t.translation.y, t.translation.z, t.isIdentity ? " identity" : "");
}

void DumpNodeFields(Object* object, SceneDumper& dumper) {
  auto* node = static_cast<Node*>(object);
  dumper.Link("parent", node->GetParent());
  DumpTransform(dumper, "local", node->GetLocalTransform());
  dumper.Field("boundType", "%d", node->GetWorldBound() ? node->GetWorldBound()->GetType() : -1);
  dumper.Field("worldBoundUpdate", "%s", node->GetWorldBoundUpdate() ? "true" : "false");
}

void DumpSceneNodeFields(Object* object, SceneDumper& dumper) {
  auto* node = static_cast<SceneNode*>(object);
  dumper.Field("effects", "%d", node->GetEffectCount());
  for (int32_t i = 0; i < node->GetEffectCount(); ++i) dumper.Link("effect", node->GetEffect(i));
  dumper.Field("children", "%d (increment %d)", node->GetChildCount(), node->GetIncrement());
  for (int32_t i = 0; i < node->GetChildCount(); ++i) dumper.Link("child", node->GetChild(i));
}

void DumpSphereFields(Object* object, SceneDumper& dumper) {
  auto* sphere = static_cast<SphereBoundingVolume*>(object);
  const Vector3 c = sphere->GetCenter();
  dumper.Field("center", "(%g, %g, %g)", c.x, c.y, c.z);
  dumper.Field("radius", "%g", sphere->GetRadius());
}

const char* KeyframeKind(const Animation* animation) {
  const Keyframe* first = animation->GetKeyframe(0);
  if (dynamic_cast<const NodeKeyframe*>(first) != nullptr) return "node";
  if (dynamic_cast<const BoolKeyframe*>(first) != nullptr) return "on/off";
  return "time";
}

void DumpAnimationFields(Object* object, SceneDumper& dumper) {
  auto* animation = static_cast<Animation*>(object);
  const int32_t count = animation->GetKeyframeCount();
  if (count == 0) {
    dumper.Field("keyframes", "0");
    return;
  }
  dumper.Field("keyframes", "%d %s, times %g to %g", count, KeyframeKind(animation), animation->GetKeyframe(0)->time,
               animation->GetKeyframe(count - 1)->time);
}

const char* ModeName(int32_t mode) {
  if (mode == AnimationFrame::kOnce) return "once";
  if (mode == AnimationFrame::kLoop) return "loop";
  return "ping-pong";
}

void DumpAnimationControllerFields(Object* object, SceneDumper& dumper) {
  auto* controller = static_cast<AnimationController*>(object);
  dumper.Field("trackPeriod", "%g s", controller->GetTrackPeriod());
  for (int32_t i = 0; i < controller->GetAnimationCount(); ++i) dumper.Link("animation", controller->GetAnimation(i));
  for (int32_t i = 0; i < controller->GetFrameCount(); ++i) {
    const AnimationFrame* frame = controller->GetFrame(i);
    dumper.Field("frame", "[%g, %g] %s speed %g offset %g \"%s\"", frame->start, frame->end, ModeName(frame->mode),
                 frame->speed, frame->offset, frame->animation ? frame->animation->GetName().CStr() : "");
  }
}

void DumpScreensaverFields(Object* object, SceneDumper& dumper) {
  auto* controller = static_cast<ScreensaverController*>(object);
  dumper.Field("sets", "%d", controller->GetSetCount());
  for (int32_t i = 0; i < controller->GetSetCount(); ++i) {
    const CameraSet* set = controller->GetSet(i);
    dumper.Field("set", "%d: \"%s\" fade-in from %g s, %g s", i, set->camera ? set->camera->GetName().CStr() : "",
                 set->fadeInStart, set->duration);
    dumper.Link("camera", set->camera.Get());
  }
}

void DumpTargetFields(Object* object, SceneDumper& dumper) {
  dumper.Link("target", static_cast<TargetController*>(object)->GetTarget());
}

void DumpCulledFields(Object* object, SceneDumper& dumper) {
  auto* controller = static_cast<CameraCulledController*>(object);
  for (int32_t i = 0; i < controller->GetNodeCount(); ++i) dumper.Link("hides", controller->GetNode(i));
}

void DumpCameraActivateFields(Object* object, SceneDumper& dumper) {
  auto* controller = static_cast<CameraActivateAnimationController*>(object);
  dumper.Link("cameraAnimation", controller->GetCameraAnimation());
  dumper.Link("targetAnimation", controller->GetTargetAnimation());
  for (int32_t i = 0; i < controller->GetDrivenCount(); ++i) dumper.Link("drives", controller->GetDriven(i));
}

[[maybe_unused]] const bool kCoreDumpers = [] {
  SceneDumper::Register(Object::TYPE, &DumpObjectFields);
  SceneDumper::Register(Controller::TYPE, &DumpControllerFields);
  SceneDumper::Register(Node::TYPE, &DumpNodeFields);
  SceneDumper::Register(SceneNode::TYPE, &DumpSceneNodeFields);
  SceneDumper::Register(SphereBoundingVolume::TYPE, &DumpSphereFields);
  SceneDumper::Register(Animation::TYPE, &DumpAnimationFields);
  SceneDumper::Register(AnimationController::TYPE, &DumpAnimationControllerFields);
  SceneDumper::Register(ScreensaverController::TYPE, &DumpScreensaverFields);
  SceneDumper::Register(TargetCameraController::TYPE, &DumpTargetFields);
  SceneDumper::Register(TargetLightController::TYPE, &DumpTargetFields);
  SceneDumper::Register(CameraCulledController::TYPE, &DumpCulledFields);
  SceneDumper::Register(CameraActivateAnimationController::TYPE, &DumpCameraActivateFields);
  return true;
}();

}  // namespace

void SceneDumper::Register(const RTTI& type, FieldDumper dumper) { Dumpers()[&type] = dumper; }

void SceneDumper::Dump(Object* root) {
  // First pass counts the links to each object, the second prints.
  links_.clear();
  visited_.clear();
  printing_ = false;
  Link("root", root);
  visited_.clear();
  printing_ = true;
  depth_ = 0;
  Visit("root", root);
}

void SceneDumper::Field(const char* name, const char* format, ...) {
  if (!printing_) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  std::fprintf(out_, "%*s%s = %s\n", depth_ * 2, "", name, Cp1251ToUtf8(buffer).c_str());
}

void SceneDumper::Link(const char* name, Object* object) {
  if (!printing_) {
    if (object == nullptr) return;
    if (++links_[object] > 1) return;
  }
  Visit(name, object);
}

void SceneDumper::Visit(const char* label, Object* object) {
  if (!printing_) {
    if (!visited_.insert(object).second) return;
  } else {
    const std::string indent(static_cast<size_t>(depth_) * 2, ' ');
    if (object == nullptr) {
      std::fprintf(out_, "%s%s: null\n", indent.c_str(), label);
      return;
    }
    const bool first = visited_.insert(object).second;
    const int links = links_[object];
    std::fprintf(out_, "%s%s: %s \"%s\" ID[%d]%s%s\n", indent.c_str(), label,
                 object->GetRTTI().GetName().CStr(), Utf8(object->GetName()).c_str(),
                 object->GetID(), links > 1 ? " shared" : "", first ? "" : " (see above)");
    if (!first) return;
  }
  // Fields from the root class down to the object's own class.
  std::vector<const RTTI*> chain;
  for (const RTTI* type = &object->GetRTTI(); type != nullptr; type = type->GetParent()) {
    chain.push_back(type);
  }
  ++depth_;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    auto dumper = Dumpers().find(*it);
    if (dumper != Dumpers().end()) dumper->second(object, *this);
  }
  --depth_;
}

}  // namespace klx
