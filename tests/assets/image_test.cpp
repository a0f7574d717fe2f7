// Images: sizes, construction, saving and loading in the object stream, and
// the codecs' own round trips and damaged input.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assets/codecs/image_codecs.h"
#include "assets/image.h"
#include "core/class_factory.h"
#include "core/memory_stream.h"
#include "support/engine_fixture.h"
#include "support/image_test_support.h"
#include "support/log_capture.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx {
namespace {

using ImageTest = test::EngineTest;
using test::Picture;

// An engine image of the given format filled from a picture (top row first).
Ref<Image> ToEngine(const Picture& picture, uint32_t format) {
  Ref<Image> image(new Image(String("made"), format, picture.width, picture.height));
  const size_t row = size_t{picture.width} * picture.channels;
  for (uint32_t y = 0; y < picture.height; ++y)
    std::memcpy(image->EditPixels() + row * (picture.height - 1 - y), picture.pixels.data() + row * y, row);
  return image;
}

TEST_F(ImageTest, OnlyPixelsThatTheFileGivesAgainAreReleasedAndRestored) {
  const Picture picture = test::MakePicture(8, 4, 3, 7);
  std::vector<uint8_t> targa;
  ASSERT_EQ(test::EncodeWithEngine(ToEngine(picture, kImageRGB8).Get(), "p.tga", &targa), 0);
  auto* file = new MemoryFile(String("p.tga"));
  auto* content = new uint8_t[targa.size()];
  std::memcpy(content, targa.data(), targa.size());
  file->SetContent(content, static_cast<int32_t>(targa.size()));
  // Files are found in the folders mounted under the root.
  auto* folder = new VirtualDirectory(String("Pictures"), FileManager::GetRoot());
  ASSERT_EQ(folder->AddFile(file), kOk);

  Ref<Image> decoded(new Image(file, String()));
  const std::vector<uint8_t> original(decoded->GetPixels(), decoded->GetPixels() + decoded->GetDataSize());
  EXPECT_TRUE(decoded->RestorePixels());  // never released: nothing to do
  ASSERT_TRUE(decoded->ReleasePixels());
  EXPECT_EQ(decoded->GetPixels(), nullptr);
  EXPECT_FALSE(decoded->ReleasePixels());
  ASSERT_TRUE(decoded->RestorePixels());
  EXPECT_EQ(std::vector<uint8_t>(decoded->GetPixels(), decoded->GetPixels() + decoded->GetDataSize()), original);

  // Made in memory, changed in place, or changed in format: kept.
  Ref<Image> made = ToEngine(picture, kImageRGB8);
  EXPECT_FALSE(made->ReleasePixels());
  Ref<Image> edited(new Image(file, String()));
  edited->EditPixels()[0] ^= 1;
  EXPECT_FALSE(edited->ReleasePixels());
  Ref<Image> reformatted(new Image(file, String()));
  reformatted->SetFormat(kImageA8);
  EXPECT_FALSE(reformatted->ReleasePixels());

  // A file outside the file manager cannot give the pixels again.
  MemoryFile loose{String("loose.tga")};
  loose.BorrowContent(targa.data(), static_cast<int32_t>(targa.size()));
  Ref<Image> unlisted(new Image(&loose, String()));
  ASSERT_NE(unlisted->GetPixels(), nullptr);
  EXPECT_FALSE(unlisted->ReleasePixels());

  // The file gone after the release: the image says so and stays empty.
  ASSERT_TRUE(decoded->ReleasePixels());
  ASSERT_EQ(folder->RemoveFile(file), kOk);
  delete file;
  EXPECT_FALSE(decoded->RestorePixels());
  EXPECT_FALSE(decoded->RestorePixels());  // asked again at the next use: not logged again
  EXPECT_EQ(decoded->GetPixels(), nullptr);
  EXPECT_EQ(log_->Count(kLogError, test::Text("Невозможно загрузить изображение из файла. ID[%d] Имя[%s] Файл[%s]",
                                              decoded->GetID(), "p.tga", "p.tga")),
            1);
}

TEST_F(ImageTest, FormatsHaveTheirSizesAndSizesThatOverflowAreRefused) {
  EXPECT_EQ(BytesPerPixel(kImageRGB8), 3u);
  EXPECT_EQ(BytesPerPixel(kImageRGBA8), 4u);
  EXPECT_EQ(BytesPerPixel(kImageA8), 1u);
  EXPECT_EQ(BytesPerPixel(kImageFormat64), 8u);
  EXPECT_EQ(BytesPerPixel(kImageDepthTarget), 0u);
  EXPECT_EQ(BytesPerPixel(kImageScreenTarget), 0u);
  EXPECT_EQ(ImageDataSize(kImageRGB8, 5, 7, 1), 105u);
  EXPECT_EQ(ImageDataSize(kImageRGBA8, 16, 16, 6), 6144u);
  EXPECT_EQ(ImageDataSize(kImageRGBA8, 65536, 65536, 1), 0u);
  EXPECT_EQ(ImageDataSize(kImageFormat64, 0x10000, 0x10000, 6), 0u);

  // Beyond the bound nothing is allocated, whatever the size says.
  Image huge(String("huge"), kImageRGBA8, 20000, 20000);
  EXPECT_EQ(huge.GetPixels(), nullptr);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Недостаточно памяти для создания изображения. ID[%d] Имя[%s]",
                                              huge.GetID(), "huge")));
  Image depth(String("shadow"), kImageDepthTarget, 1024, 1024);
  EXPECT_EQ(depth.GetPixels(), nullptr);
  {
    // Freed bytes of the same size, which the next allocation is likely to
    // get back: a made image must not show them.
    auto* junk = new uint8_t[32];
    std::memset(junk, 0xAB, 32);
    delete[] junk;
  }
  Image colour(String("target"), kImageRGBA8, 4, 2);
  ASSERT_NE(colour.GetPixels(), nullptr);
  EXPECT_EQ(colour.GetDataSize(), 32u);
  EXPECT_EQ(std::vector<uint8_t>(colour.GetPixels(), colour.GetPixels() + 32), std::vector<uint8_t>(32, 0));
  VolumeImage volume(String("volume"), kImageRGB8, 2, 2, 6);
  EXPECT_EQ(volume.GetDataSize(), 72u);
  EXPECT_NE(volume.GetPixels(), nullptr);
}

TEST_F(ImageTest, SizedImagesSaveTheirSizeAndLoadWithABuffer) {
  Ref<VolumeImage> volume(new VolumeImage(String("cube"), kImageRGBA8, 8, 4, 6));
  Ref<Image> plain(new Image(String("plain"), kImageA8, 3, 5));
  MemoryStream stream(64, 64);
  ASSERT_EQ(stream.WriteObject(volume.Get()), kOk);
  ASSERT_EQ(stream.WriteObject(plain.Get()), kOk);
  stream.SetPosition(0);
  Object* first = nullptr;
  Object* second = nullptr;
  ASSERT_EQ(stream.ReadObject(first), kOk);
  ASSERT_EQ(stream.ReadObject(second), kOk);
  auto* loadedVolume = DynamicCast<VolumeImage>(first);
  auto* loadedPlain = DynamicCast<Image>(second);
  ASSERT_NE(loadedVolume, nullptr);
  ASSERT_NE(loadedPlain, nullptr);
  EXPECT_EQ(loadedVolume->GetDepth(), 6u);
  EXPECT_EQ(loadedVolume->GetWidth(), 8u);
  EXPECT_EQ(loadedVolume->GetFormat(), static_cast<uint32_t>(kImageRGBA8));
  EXPECT_NE(loadedVolume->GetPixels(), nullptr);
  EXPECT_EQ(loadedPlain->GetHeight(), 5u);
  EXPECT_NE(loadedPlain->GetPixels(), nullptr);
  // Only the plain image says so.
  EXPECT_EQ(log_->Count(kLogInfo, test::Text("Изображение [%s] загружено.", "plain")), 1);
  EXPECT_EQ(log_->Count(kLogInfo, test::Text("Изображение [%s] загружено.", "cube")), 0);
}

TEST_F(ImageTest, ImagesFromFilesSaveOnlyTheNameAndDecodeAgainOnLoad) {
  // A file the file manager can find, in a mounted tree.
  Picture picture = test::MakePicture(4, 3, 3, 9);
  Ref<Image> source = ToEngine(picture, kImageRGB8);
  std::vector<uint8_t> tga;
  ASSERT_EQ(test::EncodeWithEngine(source.Get(), "tile.tga", &tga), kOk);
  Ref<Image> fromFile;
  ASSERT_EQ(test::DecodeWithEngine(tga, "tile.tga", &fromFile), kOk);
  EXPECT_EQ(test::MaxDifference(test::FromEngine(*fromFile), picture), 0);

  auto* file = new MemoryFile(String("tile.tga"));
  auto* bytes = new uint8_t[tga.size()];
  std::memcpy(bytes, tga.data(), tga.size());
  file->SetContent(bytes, static_cast<int32_t>(tga.size()));
  Ref<Image> named(new Image(file, String()));
  EXPECT_STREQ(named->GetName().CStr(), "tile.tga");
  EXPECT_STREQ(named->GetFileName().CStr(), "tile.tga");
  ASSERT_NE(named->GetPixels(), nullptr);

  MemoryStream stream(64, 64);
  ASSERT_EQ(stream.WriteObject(named.Get()), kOk);
  // Loading looks the file up in the file manager; it is not mounted, so the
  // load fails with the chain of messages.
  stream.SetPosition(0);
  Object* loaded = nullptr;
  EXPECT_NE(stream.ReadObject(loaded), kOk);
  const std::string prefix = test::Text("Невозможно загрузить изображение из файла. ID[");
  bool reported = false;
  for (const test::LoggedLine& line : log_->lines)
    reported |= line.level == kLogError && line.text.rfind(prefix, 0) == 0 &&
                line.text.find(test::Text("Файл[%s]", "tile.tga")) != std::string::npos;
  EXPECT_TRUE(reported);
  delete file;
}

TEST_F(ImageTest, LoadFromFileReportsWhatIsMissing) {
  ASSERT_EQ(LoadBuiltinImageCodecs(), kOk);
  Image image(String("sky"));
  EXPECT_EQ(image.LoadFromFile(nullptr), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Указатель на файл равен 0 при загрузке изображения [%s].", "sky")));
  MemoryFile unknown{String("sky.xyz")};
  unknown.SetContent(new uint8_t[1], 1);
  EXPECT_EQ(image.LoadFromFile(&unknown), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Не найден кодек для файла при загрузке изображения [%s].", "sky")));
  MemoryFile broken{String("sky.bmp")};
  broken.SetContent(new uint8_t[10](), 10);
  EXPECT_EQ(image.LoadFromFile(&broken), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Неудачна загрузка изображения [%s].", "sky")));
}

TEST_F(ImageTest, CodecsRoundTripTheirOwnFiles) {
  const Picture rgb = test::MakePicture(13, 9, 3, 5);
  const Picture rgba = test::MakePicture(13, 9, 4, 6);
  const Picture grey = test::MakePicture(13, 9, 1, 7);
  struct Case {
    const char* name;
    const Picture* picture;
    uint32_t format;
    int tolerance;
  };
  const Case cases[] = {{"a.bmp", &rgb, kImageRGB8, 0},   {"b.bmp", &grey, kImageA8, 0},
                        {"c.tga", &rgb, kImageRGB8, 0},   {"d.tga", &rgba, kImageRGBA8, 0},
                        {"e.jpg", &rgb, kImageRGB8, 12},  {"f.jpg", &grey, kImageA8, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<Image> source = ToEngine(*c.picture, c.format);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(test::EncodeWithEngine(source.Get(), c.name, &bytes), kOk);
    Ref<Image> back;
    ASSERT_EQ(test::DecodeWithEngine(bytes, c.name, &back), kOk);
    EXPECT_EQ(back->GetFormat(), c.format);
    // Lossless codecs give the pixels back; JPEG at quality 50 comes close
    // on average.
    const Picture decoded = test::FromEngine(*back);
    if (c.tolerance == 0) {
      EXPECT_EQ(test::MaxDifference(decoded, *c.picture), 0);
    } else {
      const double mean = test::MeanDifference(decoded, *c.picture);
      EXPECT_GE(mean, 0);
      EXPECT_LE(mean, c.tolerance);
    }
  }
  // Formats a codec cannot write are refused.
  Ref<Image> alpha = ToEngine(rgba, kImageRGBA8);
  std::vector<uint8_t> unused;
  EXPECT_EQ(test::EncodeWithEngine(alpha.Get(), "x.bmp", &unused), kInvalidArg);
  EXPECT_EQ(test::EncodeWithEngine(alpha.Get(), "x.jpg", &unused), kInvalidArg);
  Ref<Image> greyImage = ToEngine(grey, kImageA8);
  EXPECT_EQ(test::EncodeWithEngine(greyImage.Get(), "x.tga", &unused), kInvalidArg);
}

TEST_F(ImageTest, GreyBitmapsKeepPaletteIndicesAsValues) {
  // An 8-bit bitmap with the identity grey palette, width 5: rows of 5 plus 3.
  const uint32_t width = 5;
  const uint32_t height = 3;
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  auto put32 = [&file](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file.resize(54, 0);
  put32(10, 54 + 1024);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  file[26] = 1;
  file[28] = 8;
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) file.push_back(static_cast<uint8_t>(y * 50 + x));
    file.insert(file.end(), {0xEE, 0xEE, 0xEE});
  }
  Ref<Image> image;
  ASSERT_EQ(test::DecodeWithEngine(file, "grey.bmp", &image), kOk);
  ASSERT_EQ(image->GetFormat(), static_cast<uint32_t>(kImageA8));
  // Bottom row first, as in the file.
  EXPECT_EQ(image->GetPixels()[0], 0);
  EXPECT_EQ(image->GetPixels()[width + 2], 52);
  EXPECT_EQ(image->GetPixels()[2 * width + 4], 104);
}

TEST_F(ImageTest, SavedTargaAndCubeFilesLoadBackUnchanged) {
  // The codecs write top-left files; loading honours that origin.
  const Picture face = test::MakePicture(6, 4, 4, 8);
  Ref<VolumeImage> cube(new VolumeImage(String("sky"), kImageRGBA8, 6, 4, 6));
  const size_t faceBytes = 6 * 4 * 4;
  for (uint32_t f = 0; f < 6; ++f) {
    Ref<Image> one = ToEngine(face, kImageRGBA8);
    std::memcpy(cube->EditPixels() + f * faceBytes, one->GetPixels(), faceBytes);
    cube->EditPixels()[f * faceBytes] = static_cast<uint8_t>(f);  // tell the faces apart
  }
  std::vector<uint8_t> bytes;
  ASSERT_EQ(test::EncodeWithEngine(cube.Get(), "sky.cube", &bytes), kOk);
  EXPECT_EQ(bytes[17], 0x28);
  Ref<Image> back;
  ASSERT_EQ(test::DecodeWithEngine(bytes, "sky.cube", &back), kOk);
  auto* volume = DynamicCast<VolumeImage>(back.Get());
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->GetDepth(), 6u);
  EXPECT_EQ(std::memcmp(volume->GetPixels(), cube->GetPixels(), faceBytes * 6), 0);
  // Only a VolumeImage can be saved as a cube, and faces must agree.
  Ref<Image> flat = ToEngine(face, kImageRGBA8);
  std::vector<uint8_t> unused;
  EXPECT_EQ(test::EncodeWithEngine(flat.Get(), "flat.cube", &unused), kFailed);
  std::vector<uint8_t> mixed = bytes;
  mixed[12] = 5;  // the first face is one pixel narrower
  EXPECT_NE(test::DecodeWithEngine(mixed, "sky.cube", &back), kOk);
}

TEST_F(ImageTest, DamagedFilesFailCleanly) {
  Ref<Image> image;
  // Truncations of valid files of every codec.
  const Picture picture = test::MakePicture(9, 7, 3, 10);
  Ref<Image> source = ToEngine(picture, kImageRGB8);
  for (const char* name : {"t.bmp", "t.tga", "t.jpg"}) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(test::EncodeWithEngine(source.Get(), name, &bytes), kOk);
    for (size_t length : {size_t{0}, size_t{10}, size_t{18}, size_t{60}, bytes.size() / 2, bytes.size() - 1}) {
      const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
      const int result = test::DecodeWithEngine(cut, name, &image);
      // A JPEG cut before its end may still decode (padded with an end
      // marker), and a bitmap may lack its last row's padding.
      const bool lenient = (std::string(name) == "t.jpg" && length >= bytes.size() / 2) ||
                           (std::string(name) == "t.bmp" && length == bytes.size() - 1);
      if (!lenient) {
        EXPECT_NE(result, kOk) << name << " " << length;
      }
    }
  }
  // A run-length packet running past the image.
  std::vector<uint8_t> tga(18, 0);
  tga[2] = 10;
  tga[12] = 2;
  tga[14] = 1;
  tga[16] = 24;
  tga.insert(tga.end(), {0x85, 1, 2, 3});  // six pixels into an image of two
  EXPECT_EQ(test::DecodeWithEngine(tga, "r.tga", &image), kFailed);
  // Sizes whose byte count does not fit: refused before any allocation.
  std::vector<uint8_t> huge(18, 0);
  huge[2] = 10;
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  huge[16] = 32;
  EXPECT_EQ(test::DecodeWithEngine(huge, "h.tga", &image), kFailed);
  // No width, and a height of two billion rows: refused, not looped over.
  std::vector<uint8_t> empty;
  ASSERT_EQ(test::EncodeWithEngine(source.Get(), "e.bmp", &empty), kOk);
  empty[18] = empty[19] = empty[20] = empty[21] = 0;
  empty[25] = 0x7A;
  EXPECT_EQ(test::DecodeWithEngine(empty, "e.bmp", &image), kFailed);
  // A bitmap whose pixel offset points into its headers.
  std::vector<uint8_t> bmp;
  ASSERT_EQ(test::EncodeWithEngine(source.Get(), "o.bmp", &bmp), kOk);
  bmp[10] = 20;
  EXPECT_EQ(test::DecodeWithEngine(bmp, "o.bmp", &image), kFailed);
  bmp[10] = 54;
  bmp[18] = bmp[19] = bmp[20] = 0xFF;  // width far beyond the data
  EXPECT_EQ(test::DecodeWithEngine(bmp, "o.bmp", &image), kFailed);
  // Not a JPEG at all: the library's message is logged.
  EXPECT_EQ(test::DecodeWithEngine(std::vector<uint8_t>(100, 0x41), "n.jpg", &image), kFailed);
  bool libraryMessage = false;
  for (const test::LoggedLine& line : log_->lines) libraryMessage |= line.level == kLogWarning;
  EXPECT_TRUE(libraryMessage);
}

}  // namespace
}  // namespace klx
