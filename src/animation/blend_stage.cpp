#include "animation/blend_stage.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"

namespace klx {

int32_t FindKeyframe(const Animation& animation, double u) {
  const int32_t count = animation.GetKeyframeCount();
  auto time = [&animation](int32_t index) { return animation.GetKeyframe(index)->time; };
  if (time(0) > u) return count - 1;
  int32_t lo = 0;
  int32_t hi = count - 1;
  for (int32_t middle = lo + (hi - lo) / 2; middle != lo; middle = lo + (hi - lo) / 2) {
    if (u > time(middle)) {
      lo = middle;
    } else {
      hi = middle;
    }
  }
  return time(hi) <= u ? hi : lo;
}

void BlendStage::Sample(double u) {
  if (!animation || animation->GetKeyframeCount() == 0) return;
  const int32_t count = animation->GetKeyframeCount();
  key = FindKeyframe(*animation, u);
  nextKey = (key + 1) % count;
  const double keyTime = animation->GetKeyframe(key)->time;
  double span = animation->GetKeyframe(nextKey)->time - keyTime;
  if (span < 0.0) span += 1.0;
  if (span == 0.0) {
    fraction = 0.0;
    return;
  }
  double into = u - keyTime;
  if (into < 0.0) into += 1.0;
  fraction = into / span;
}

int BlendStage::Save(MemoryStream& stream) const {
  if (stream.WriteObject(animation.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить анимацию стадии блендинга анимации."));
    return kFailed;
  }
  if (stream.WriteFloat(weight) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные стадии блендинга анимации."));
    return kFailed;
  }
  return kOk;
}

int BlendStage::Load(MemoryStream& stream) {
  Animation* loaded = nullptr;
  if (stream.ReadObjectOf(loaded) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить анимацию стадии блендинга анимации."));
    return kFailed;
  }
  animation = loaded;
  if (stream.ReadFloat(weight) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные стадии блендинга анимации."));
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
