// JPEG through libjpeg (library version 62). Decoding reads the file's
// content in memory; library errors are logged as "%d %s" (message number
// and text) and abandon the image. Encoding writes to memory.

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

#include "assets/codecs/image_codecs.h"
#include "assets/codecs/targa_format.h"
#include "assets/image.h"
#include "core/builtin_module.h"
#include "core/log.h"
#include "vfs/virtual_file.h"

static_assert(JPEG_LIB_VERSION == 62, "the codec is written for libjpeg's version 62 interface");

namespace klx {

namespace {

constexpr int kSaveQuality = 50;

// The library's error manager plus the place to jump back to.
struct ErrorManager {
  jpeg_error_mgr library;
  std::jmp_buf escape;
};

void LogLibraryMessage(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  LogWarning("%d %s", info->err->msg_code, text);
}

[[noreturn]] void AbandonOnError(j_common_ptr info) {
  LogLibraryMessage(info);
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// Warnings (corrupt but decodable data) go to the log, not to stderr.
void OutputMessage(j_common_ptr info) { LogLibraryMessage(info); }

int CreateJPGImageCodec(Codec** out) {
  if (out == nullptr) return kInvalidArg;
  Codec* codec = new (std::nothrow) JPGImageCodec();
  if (codec == nullptr) return kOutOfMemory;
  *out = codec;
  return kOk;
}

// Decodes into *pixels (bottom row first). Only plain data lives in this
// frame: a longjmp out of the library skips no destructor.
int Decode(const uint8_t* bytes, size_t size, Image* image, uint8_t** pixels) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.library);
  errors.library.error_exit = &AbandonOnError;
  errors.library.output_message = &OutputMessage;
  uint8_t* volatile buffer = nullptr;
  if (setjmp(errors.escape) != 0) {
    delete[] buffer;
    jpeg_destroy_decompress(&info);
    return kFailed;
  }
  jpeg_create_decompress(&info);
  // Progressive images buffer their coefficients: bound what that may take.
  info.mem->max_memory_to_use = static_cast<long>(kMaxImageBytes);
  jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);

  const uint32_t components = static_cast<uint32_t>(info.output_components);
  const uint32_t format = components == 1 ? kImageA8 : components == 3 ? kImageRGB8 : kImageDepthTarget;
  const uint64_t row = uint64_t{info.output_width} * components;
  if (format == kImageDepthTarget || row * info.output_height > kMaxImageBytes) {
    jpeg_destroy_decompress(&info);
    return kFailed;
  }
  buffer = new (std::nothrow) uint8_t[row * info.output_height + 1];
  if (buffer == nullptr) {
    jpeg_destroy_decompress(&info);
    return kOutOfMemory;
  }
  // Scan lines arrive top row first; each goes straight to its place.
  while (info.output_scanline < info.output_height) {
    JSAMPROW line = buffer + row * (info.output_height - 1 - info.output_scanline);
    jpeg_read_scanlines(&info, &line, 1);
  }
  jpeg_finish_decompress(&info);
  image->SetSize(info.output_width, info.output_height);
  image->SetFormat(format);
  jpeg_destroy_decompress(&info);
  *pixels = buffer;
  return kOk;
}

// Encodes the image (top row first) into a block from malloc.
int Encode(Image* image, unsigned char** out, unsigned long* outSize) {
  jpeg_compress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.library);
  errors.library.error_exit = &AbandonOnError;
  errors.library.output_message = &OutputMessage;
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_compress(&info);
    return kFailed;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, outSize);
  const bool grey = image->GetFormat() == kImageA8;
  info.image_width = image->GetWidth();
  info.image_height = image->GetHeight();
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kSaveQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t row = size_t{image->GetWidth()} * static_cast<size_t>(info.input_components);
  while (info.next_scanline < info.image_height) {
    // libjpeg takes rows as writable but only reads them.
    JSAMPROW line = const_cast<uint8_t*>(image->GetPixels()) + row * (info.image_height - 1 - info.next_scanline);
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return kOk;
}

}  // namespace

KLX_BUILTIN_CODEC_MODULE(JPGImageCodec, "JPGImageCodec", &CreateJPGImageCodec)

JPGImageCodec::JPGImageCodec() : ImageCodec(String("JPGImageCodec")) {
  AddExtension(String("jpg"));
  AddExtension(String("JPG"));
  AddExtension(String("Jpg"));
}

int JPGImageCodec::Load(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  if (image_io::OpenForReading(file) != kOk) return kFailed;
  const size_t size = file->GetSize() > 0 ? static_cast<size_t>(file->GetSize()) : 0;
  uint8_t* pixels = nullptr;
  const int result = Decode(file->GetBuffer(), size, image, &pixels);
  file->Close();
  if (result != kOk) return result;
  image->SetPixels(pixels);
  return kOk;
}

int JPGImageCodec::Save(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  const uint32_t format = image->GetFormat();
  if ((format != kImageRGB8 && format != kImageA8) || image->GetPixels() == nullptr ||
      image->GetWidth() == 0 || image->GetHeight() == 0 || image->GetWidth() > JPEG_MAX_DIMENSION ||
      image->GetHeight() > JPEG_MAX_DIMENSION)
    return kInvalidArg;
  unsigned char* encoded = nullptr;
  unsigned long encodedSize = 0;
  const int result = Encode(image, &encoded, &encodedSize);
  if (result != kOk) {
    std::free(encoded);
    return result;
  }
  std::vector<uint8_t> bytes;
  try {
    bytes.assign(encoded, encoded + encodedSize);
  } catch (const std::bad_alloc&) {
    std::free(encoded);
    return kOutOfMemory;
  }
  std::free(encoded);
  return image_io::WriteWhole(file, bytes);
}

}  // namespace klx
