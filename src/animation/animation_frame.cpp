#include "animation/animation_frame.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"

namespace klx {
namespace {

// Ping-pong: forwards on even passes, backwards on odd ones.
double PingPong(double u) {
  const double pass = std::floor(u);
  const double into = u - pass;
  return std::fmod(pass, 2.0) == 0.0 ? into : 1.0 - into;
}

}  // namespace

double AnimationFrame::LocalTime(double phase) const {
  const double length = end - start;
  if (length == 0.0) return 0.0;
  const double u = ((phase - start) * speed + offset) / length;
  return std::isfinite(u) ? u : 0.0;
}

double FirstStageTime(int32_t mode, double u) {
  double folded = u;
  if (mode == AnimationFrame::kOnce) {
    if (u < 0.0 || u >= 1.0) folded = 0.0;
  } else if (mode == AnimationFrame::kLoop) {
    folded = u - std::floor(u);
  } else {
    folded = PingPong(u);
  }
  return folded >= 1.0 ? 0.0 : folded;
}

double SecondStageTime(int32_t mode, double u) {
  if (mode == AnimationFrame::kOnce) return std::clamp(u, 0.0, 1.0);
  if (mode == AnimationFrame::kLoop) return u - std::floor(u);
  return PingPong(u);
}

int AnimationFrame::Save(MemoryStream& stream) const {
  if (stream.WriteObject(animation.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить анимацию фрейма анимации."));
    return kFailed;
  }
  (void)stream.WriteInt32(mode);
  (void)stream.WriteDouble(start);
  (void)stream.WriteDouble(end);
  (void)stream.WriteDouble(speed);
  (void)stream.WriteDouble(offset);
  if (stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные стадии блендинга анимации."));
    return kFailed;
  }
  return kOk;
}

int AnimationFrame::Load(MemoryStream& stream) {
  Animation* loaded = nullptr;
  if (stream.ReadObjectOf(loaded) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить анимацию фрейма анимации."));
    return kFailed;
  }
  animation = loaded;
  if (stream.ReadInt32(mode) != kOk || stream.ReadDouble(start) != kOk || stream.ReadDouble(end) != kOk ||
      stream.ReadDouble(speed) != kOk || stream.ReadDouble(offset) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные стадии блендинга анимации."));
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
