#include "render/effects/texture_controllers.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/texture.h"

namespace klx {

KLX_IMPLEMENT_CLASS(NormalmapTextureController, Controller)
KLX_IMPLEMENT_CLASS(FresnelTextureController, Controller)

namespace {

// The owner's image when the owner is a plain texture with pixels (decoded
// again when they were freed after an upload).
Image* OwnerImage(const Controller& controller, Texture** texture) {
  *texture = DynamicCast<Texture>(controller.GetOwner());
  if (*texture == nullptr) return nullptr;
  Image* image = (*texture)->GetImage();
  return image != nullptr && image->RestorePixels() && image->GetWidth() > 0 && image->GetHeight() > 0
             ? image
             : nullptr;
}

uint8_t ToByte(float unit) { return static_cast<uint8_t>(std::lround(std::fmin(std::fmax(unit, 0.0f), 1.0f) * 255.0f)); }

}  // namespace

// ---------------------------------------------------------------------------
// Normal map

NormalmapTextureController::NormalmapTextureController(const String& name) : Controller(name) {}

int NormalmapTextureController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) return kFailed;
  if (stream.WriteFloat(bump_) != kOk || stream.WriteBool(heightInAlpha_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить коэффициент бампа. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int NormalmapTextureController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) return kFailed;
  if (stream.ReadFloat(bump_) != kOk || stream.ReadBool(heightInAlpha_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить коэффициент бампа. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

void NormalmapTextureController::Update(double) {
  if (done_ || !IsActive()) return;
  Texture* texture = nullptr;
  Image* image = OwnerImage(*this, &texture);
  // Only a height image (one byte a pixel) becomes a normal map; anything
  // else is left as it is, once.
  done_ = true;
  if (image == nullptr || image->GetFormat() != kImageA8) return;
  const uint32_t width = image->GetWidth();
  const uint32_t height = image->GetHeight();
  const uint32_t bytes = heightInAlpha_ ? 4 : 3;
  auto* normals = new (std::nothrow) uint8_t[static_cast<size_t>(width) * height * bytes];
  if (normals == nullptr) {
    LogError(KLX_TEXT("Недостаточно памяти для карты нормалей. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return;
  }
  const uint8_t* heights = image->GetPixels();
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t next = (y + 1) % height;
    for (uint32_t x = 0; x < width; ++x) {
      const float c = heights[static_cast<size_t>(y) * width + x] / 255.0f;
      const float right = heights[static_cast<size_t>(y) * width + (x + 1) % width] / 255.0f;
      const float below = heights[static_cast<size_t>(next) * width + x] / 255.0f;
      const float dx = bump_ * (c - right);
      const float dy = bump_ * (c - below);
      const float length = std::sqrt(dx * dx + dy * dy + 1.0f);
      uint8_t* out = normals + (static_cast<size_t>(y) * width + x) * bytes;
      out[0] = static_cast<uint8_t>(std::lround(dx / length * 127.0f + 128.0f));
      out[1] = static_cast<uint8_t>(std::lround(dy / length * 127.0f + 128.0f));
      out[2] = static_cast<uint8_t>(std::lround(1.0f / length * 127.0f + 128.0f));
      if (heightInAlpha_) out[3] = ToByte(c);
    }
  }
  image->SetFormat(heightInAlpha_ ? kImageRGBA8 : kImageRGB8);
  image->SetPixels(normals);
  texture->SetImage(image);  // uploaded again
}

// ---------------------------------------------------------------------------
// Fresnel ramp

FresnelTextureController::FresnelTextureController(const String& name) : Controller(name) {}

int FresnelTextureController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) return kFailed;
  if (stream.WriteFloat(firstIndex_) != kOk || stream.WriteFloat(secondIndex_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить коэффициенты френеля. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int FresnelTextureController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) return kFailed;
  if (stream.ReadFloat(firstIndex_) != kOk || stream.ReadFloat(secondIndex_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить коэффициент френеля. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

void FresnelTextureController::Update(double) {
  if (done_ || !IsActive()) return;
  Texture* texture = nullptr;
  Image* image = OwnerImage(*this, &texture);
  done_ = true;
  if (image == nullptr) return;
  const uint32_t bytes = BytesPerPixel(image->GetFormat());
  if (bytes == 0) return;
  const float sum = firstIndex_ + secondIndex_;
  // Two equal indices (or none) reflect nothing head-on.
  const float ratio = sum != 0.0f ? (firstIndex_ - secondIndex_) / sum : 0.0f;
  const float f0 = ratio * ratio;
  const uint32_t width = image->GetWidth();
  const size_t rowBytes = static_cast<size_t>(width) * bytes;
  uint8_t* row = image->EditPixels();
  for (uint32_t j = 0; j < width; ++j) {
    const float grazing = 1.0f - static_cast<float>(j) / static_cast<float>(width);
    const float f = f0 + (1.0f - f0) * std::pow(grazing, 5.0f);
    const uint8_t value = ToByte(f);
    for (uint32_t b = 0; b < bytes; ++b) row[j * bytes + b] = value;
  }
  for (uint32_t y = 1; y < image->GetHeight(); ++y) {
    std::copy(row, row + rowBytes, row + y * rowBytes);
  }
  texture->SetImage(image);
}

}  // namespace klx
