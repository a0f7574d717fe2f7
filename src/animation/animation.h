#pragma once
// Animations: keyframes on a normalised time axis [0, 1), in ascending time
// order as stored. NodeAnimation holds node poses and BoolAnimation on/off
// values; the base is abstract.

#include <cstdint>
#include <memory>
#include <vector>

#include "animation/keyframe.h"
#include "core/object.h"

namespace klx {

class Animation : public Object {
  KLX_DECLARE_CLASS(Animation)

 public:
  explicit Animation(const String& name) : Object(name) {}

  // The keyframe count, then each keyframe.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  int32_t GetKeyframeCount() const { return static_cast<int32_t>(keyframes_.size()); }
  Keyframe* GetKeyframe(int32_t index) const {
    return index >= 0 && index < GetKeyframeCount() ? keyframes_[static_cast<size_t>(index)].get() : nullptr;
  }
  // Takes the keyframe (it must be of this animation's kind) at the end.
  void AddKeyframe(std::unique_ptr<Keyframe> keyframe) { keyframes_.push_back(std::move(keyframe)); }
  void ClearKeyframes() { keyframes_.clear(); }

 protected:
  // A new keyframe of this animation's kind, or null when memory is short.
  virtual std::unique_ptr<Keyframe> CreateKeyframe() const;
  // The fewest bytes one stored keyframe of this kind takes.
  virtual int32_t GetStoredKeyframeSize() const { return 8; }

 private:
  std::vector<std::unique_ptr<Keyframe>> keyframes_;
};

class NodeAnimation : public Animation {
  KLX_DECLARE_CLASS(NodeAnimation)

 public:
  explicit NodeAnimation(const String& name) : Animation(name) {}
  NodeKeyframe* GetNodeKeyframe(int32_t index) const { return static_cast<NodeKeyframe*>(GetKeyframe(index)); }

 protected:
  std::unique_ptr<Keyframe> CreateKeyframe() const override;
  int32_t GetStoredKeyframeSize() const override { return 8 + 40; }
};

class BoolAnimation : public Animation {
  KLX_DECLARE_CLASS(BoolAnimation)

 public:
  explicit BoolAnimation(const String& name) : Animation(name) {}
  BoolKeyframe* GetBoolKeyframe(int32_t index) const { return static_cast<BoolKeyframe*>(GetKeyframe(index)); }

 protected:
  std::unique_ptr<Keyframe> CreateKeyframe() const override;
  int32_t GetStoredKeyframeSize() const override { return 8 + 1; }
};

}  // namespace klx
