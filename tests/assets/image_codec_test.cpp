// The image codecs against ImageMagick, a decoder and encoder nobody here
// wrote: the engine's decode of each file equals ImageMagick's (exactly for
// BMP and Targa, within a few levels for JPEG). Then the codecs' own round
// trips and damaged files.

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
  // ImageMagick writes rows top first unless told to flip them; a correct
  // bottom-left file is flipped and tagged so.
  for (const char* orient : {"-flip -orient BottomLeft", "-orient TopLeft"}) {
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

}  // namespace
}  // namespace klx
