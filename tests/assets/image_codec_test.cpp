// The image codecs against ImageMagick, a decoder and encoder nobody here
// wrote: the engine's decode of each file equals ImageMagick's (exactly for
// BMP and Targa, within a few levels for JPEG). Then hand-made Targa files
// of every pixel order.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/engine_fixture.h"
#include "support/image_test_support.h"

namespace klx {
namespace {

using test::Picture;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class ImageMagickTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    convert_ = test::ImageMagick();
    if (convert_.empty()) GTEST_SKIP() << "ImageMagick (Debian package imagemagick) is not installed";
    ASSERT_FALSE(folder_.path().empty());
  }

  // Writes the picture, has ImageMagick convert it with `options` into
  // `name`, and returns ImageMagick's own decode of that file.
  // `coder` forces ImageMagick's writer (such as "BMP3:").
  std::vector<uint8_t> Make(const Picture& source, const std::string& options, const std::string& name,
                            Picture* decodedByMagick, const std::string& coder = "") {
    const std::string input = folder_.File(source.channels == 4 ? "source.pam" : "source.ppm");
    WriteBytes(input, test::EncodeNetpbm(source));
    const std::string output = folder_.File(name);
    EXPECT_TRUE(test::Run(convert_ + " '" + input + "' " + options + " " + coder + "'" + output + "'")) << options;
    const char* back = source.channels == 4 ? "pam:" : "ppm:";
    const std::string decoded = folder_.File("decoded");
    // -auto-orient: ImageMagick keeps a Targa file's origin as a tag rather
    // than turning the rows; this gives the picture as it is meant.
    const char* kind = options.find("Gray") != std::string::npos ? "pgm:" : back;
    EXPECT_TRUE(test::Run(convert_ + " '" + output + "' -auto-orient -depth 8 " + kind + "'" + decoded + "'"));
    EXPECT_TRUE(test::DecodeNetpbm(ReadBytes(decoded), decodedByMagick));
    return ReadBytes(output);
  }

  // The engine's decode of the file against ImageMagick's.
  void Compare(const Picture& source, const std::string& options, const char* name, uint32_t format,
               int tolerance, const std::string& coder = "") {
    SCOPED_TRACE(std::string(name) + " " + options);
    Picture expected;
    const std::vector<uint8_t> file = Make(source, options, name, &expected, coder);
    // ImageMagick's decode is the source picture itself (within JPEG loss).
    EXPECT_LE(test::MaxDifference(expected, source.channels == 3 && format == kImageA8 ? expected : source),
              tolerance == 0 ? 0 : 255);
    Ref<Image> image;
    ASSERT_EQ(test::DecodeWithEngine(file, name, &image), kOk);
    EXPECT_EQ(image->GetFormat(), format);
    const int difference = test::MaxDifference(test::FromEngine(*image), expected);
    EXPECT_GE(difference, 0) << "shapes differ";
    EXPECT_LE(difference, tolerance);
  }

  std::string convert_;
  test::ScratchFolder folder_;
};

TEST_F(ImageMagickTest, BitmapsDecodeExactly) {
  // Width 5: 15-byte rows padded to 16.
  for (uint32_t width : {5u, 8u, 33u}) {
    const Picture source = test::MakePicture(width, 7, 3, width);
    Compare(source, "-type TrueColor", "plain.bmp", kImageRGB8, 0, "BMP3:");
    Compare(source, "-type TrueColor", "v5.bmp", kImageRGB8, 0);
  }
}

TEST_F(ImageMagickTest, TargaFilesOfEveryKindDecodeExactly) {
  const Picture rgb = test::MakePicture(37, 19, 3, 1);
  const Picture rgba = test::MakePicture(37, 19, 4, 2);
  // ImageMagick writes rows top first and left to right unless told to flip
  // or flop them; a correct file of another origin is turned and tagged so.
  for (const char* orient : {"-flip -orient BottomLeft", "-orient TopLeft", "-flop -orient TopRight",
                             "-flip -flop -orient BottomRight"}) {
    for (const char* compress : {"-compress None", "-compress RLE"}) {
      const std::string options = std::string(orient) + " " + compress;
      Compare(rgb, options, "picture.tga", kImageRGB8, 0);
      Compare(rgba, options, "picture.tga", kImageRGBA8, 0);
    }
  }
}

TEST_F(ImageMagickTest, JpegBaselineProgressiveAndGreyAreCloseToImageMagick) {
  const Picture source = test::MakePicture(64, 48, 3, 3);
  Compare(source, "-quality 90", "baseline.jpg", kImageRGB8, 3);
  Compare(source, "-quality 90 -interlace JPEG", "progressive.jpg", kImageRGB8, 3);
  Compare(source, "-quality 90 -colorspace Gray -type Grayscale", "grey.jpg", kImageA8, 3);
}

TEST_F(ImageMagickTest, RunLengthTargaWithLongRunsEqualsTheUncompressedFile) {
  // Flat rows: ImageMagick writes packets repeating one pixel 128 times.
  Picture flat{300, 4, 3, std::vector<uint8_t>(300 * 4 * 3, 0)};
  for (size_t i = 0; i < flat.pixels.size(); ++i) flat.pixels[i] = static_cast<uint8_t>(i / 900 * 60 + i % 3);
  Picture unused;
  const std::vector<uint8_t> packed = Make(flat, "-compress RLE", "runs.tga", &unused);
  const std::vector<uint8_t> plain = Make(flat, "-compress None", "plain.tga", &unused);
  EXPECT_LT(packed.size(), plain.size() / 4);
  Ref<Image> fromPacked;
  Ref<Image> fromPlain;
  ASSERT_EQ(test::DecodeWithEngine(packed, "runs.tga", &fromPacked), kOk);
  ASSERT_EQ(test::DecodeWithEngine(plain, "plain.tga", &fromPlain), kOk);
  EXPECT_EQ(test::MaxDifference(test::FromEngine(*fromPacked), test::FromEngine(*fromPlain)), 0);
}

TEST_F(ImageMagickTest, EngineWrittenFilesReadBackInImageMagick) {
  const Picture source = test::MakePicture(21, 13, 3, 4);
  Ref<Image> image;
  const std::string ppm = folder_.File("source.ppm");
  WriteBytes(ppm, test::EncodeNetpbm(source));
  // Start from a Targa the engine decoded, then write each format.
  Picture unused;
  ASSERT_EQ(test::DecodeWithEngine(Make(source, "-orient TopLeft", "start.tga", &unused), "start.tga", &image), kOk);
  for (const char* name : {"out.bmp", "out.tga", "out.jpg"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(test::EncodeWithEngine(image.Get(), name, &bytes), kOk);
    WriteBytes(folder_.File(name), bytes);
    ASSERT_TRUE(test::Run(convert_ + " '" + folder_.File(name) + "' -auto-orient -depth 8 ppm:'" + folder_.File("back") + "'"));
    Picture back;
    ASSERT_TRUE(test::DecodeNetpbm(ReadBytes(folder_.File("back")), &back));
    if (std::string(name) == "out.jpg") {
      const double mean = test::MeanDifference(back, source);
      EXPECT_GE(mean, 0);
      EXPECT_LE(mean, 12);
    } else {
      EXPECT_EQ(test::MaxDifference(back, source), 0);
    }
  }
}

// --- Hand-made Targa files ---------------------------------------------------

using TargaOrderTest = test::EngineTest;

constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopFirst = 0x20;
constexpr uint8_t kEveryOrder[] = {0, kRightToLeft, kTopFirst, kRightToLeft | kTopFirst};

// Three by two pixels, every channel of every pixel different; `first`
// tells pictures apart.
Picture SixColours(uint32_t channels, uint8_t first) {
  Picture picture{3, 2, channels, {}};
  for (uint8_t i = 0; i < 6; ++i) {
    const uint8_t base = static_cast<uint8_t>(first + 40 * i);
    picture.pixels.insert(picture.pixels.end(), {base, static_cast<uint8_t>(base + 1), static_cast<uint8_t>(base + 2)});
    if (channels == 4) picture.pixels.push_back(static_cast<uint8_t>(base + 3));
  }
  return picture;
}

// A Targa file of the picture with its pixels stored in the order the
// descriptor names. A run-length file codes the first stored pixel as a run
// of one and all the others as one literal packet that crosses the rows.
std::vector<uint8_t> HandMadeTarga(const Picture& picture, uint8_t descriptor, bool runLength) {
  std::vector<uint8_t> file(18, 0);
  file[2] = runLength ? 10 : 2;
  file[12] = static_cast<uint8_t>(picture.width);
  file[14] = static_cast<uint8_t>(picture.height);
  file[16] = static_cast<uint8_t>(8 * picture.channels);
  file[17] = static_cast<uint8_t>(descriptor | (picture.channels == 4 ? 8 : 0));
  std::vector<uint8_t> stored;
  for (uint32_t row = 0; row < picture.height; ++row) {
    const uint32_t y = (descriptor & kTopFirst) ? row : picture.height - 1 - row;
    for (uint32_t column = 0; column < picture.width; ++column) {
      const uint32_t x = (descriptor & kRightToLeft) ? picture.width - 1 - column : column;
      const uint8_t* pixel = &picture.pixels[(size_t{y} * picture.width + x) * picture.channels];
      stored.insert(stored.end(), {pixel[2], pixel[1], pixel[0]});
      if (picture.channels == 4) stored.push_back(pixel[3]);
    }
  }
  if (runLength) {
    const auto second = stored.begin() + picture.channels;
    file.push_back(0x80);
    file.insert(file.end(), stored.begin(), second);
    file.push_back(static_cast<uint8_t>(picture.width * picture.height - 2));
    file.insert(file.end(), second, stored.end());
  } else {
    file.insert(file.end(), stored.begin(), stored.end());
  }
  return file;
}

TEST_F(TargaOrderTest, RowsStoredRightToLeftOrTopFirstDecodeAsThePlainFile) {
  for (uint32_t channels : {3u, 4u}) {
    const Picture source = SixColours(channels, 1);
    for (bool runLength : {false, true}) {
      for (uint8_t order : kEveryOrder) {
        SCOPED_TRACE(std::to_string(channels) + " channels, order " + std::to_string(order) +
                     (runLength ? ", run-length" : ", uncompressed"));
        Ref<Image> image;
        ASSERT_EQ(test::DecodeWithEngine(HandMadeTarga(source, order, runLength), "order.tga", &image), kOk);
        EXPECT_EQ(image->GetFormat(), channels == 4 ? kImageRGBA8 : kImageRGB8);
        EXPECT_EQ(test::MaxDifference(test::FromEngine(*image), source), 0);
      }
    }
  }
}

TEST_F(TargaOrderTest, CubeFacesStoredRightToLeftDecodeAsPlainFaces) {
  std::vector<Picture> faces;
  std::vector<uint8_t> cube;
  for (uint8_t face = 0; face < 6; ++face) {
    faces.push_back(SixColours(4, static_cast<uint8_t>(face * 7 + 1)));
    const auto order = static_cast<uint8_t>(face % 2 == 0 ? kRightToLeft : kRightToLeft | kTopFirst);
    const std::vector<uint8_t> file = HandMadeTarga(faces.back(), order, face >= 3);
    cube.insert(cube.end(), file.begin(), file.end());
  }
  Ref<Image> image;
  ASSERT_EQ(test::DecodeWithEngine(cube, "order.cube", &image), kOk);
  for (uint32_t face = 0; face < 6; ++face)
    EXPECT_EQ(test::MaxDifference(test::FromEngine(*image, face), faces[face]), 0) << "face " << face;
}

}  // namespace
}  // namespace klx
