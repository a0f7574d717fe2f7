// The RAR 2.0 writer end to end: archives of every kind are mounted through
// the engine's codec, and also written to a temporary folder, tested with
// `lsar -t` and unpacked with `unar`; every entry's bytes are compared with
// the bytes that were packed. Without those programs on PATH only the codec checks run.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "dos_time.h"
#include "path_collector.h"
#include "support/engine_fixture.h"
#include "support/rar2_test_support.h"
#include "vfs/rar2/rar2_crc32.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {
namespace {

namespace fs = std::filesystem;

// --- Test data -------------------------------------------------------------

std::vector<uint8_t> TextData(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the",    "scene",  "graph", "node",   "renders", "a",     "frame",
                                       "camera", "light",  "of",    "water",  "grass",   "moves", "slowly",
                                       "under",  "shadow", "with",  "flares", "and",     "sound"};
  std::mt19937 random(seed);
  std::vector<uint8_t> out;
  while (out.size() < size) {
    const char* word = kWords[random() % std::size(kWords)];
    out.insert(out.end(), word, word + std::strlen(word));
    const uint32_t r = random() % 16;
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : ' ');
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> RandomData(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(size);
  for (uint8_t& b : out) b = uint8_t(random());
  return out;
}

std::vector<uint8_t> RepetitiveData(size_t size) {
  std::vector<uint8_t> out;
  const std::string pattern = "ABCDABCDABCE0123";
  while (out.size() < size) {
    out.insert(out.end(), pattern.begin(), pattern.end());
    out.insert(out.end(), out.size() % 97, uint8_t(out.size()));
  }
  out.resize(size);
  return out;
}

// 16-bit little-endian PCM: a 440 Hz tone at 44.1 kHz with a little noise.
std::vector<uint8_t> SineData(size_t size) {
  std::mt19937 random(7);
  std::vector<uint8_t> out;
  for (size_t i = 0; out.size() < size; ++i) {
    const double tone = std::sin(2 * 3.14159265358979 * 440.0 * double(i) / 44100.0);
    const int16_t sample = int16_t(tone * 12000 + int(random() % 64) - 32);
    out.push_back(uint8_t(sample));
    out.push_back(uint8_t(uint16_t(sample) >> 8));
  }
  out.resize(size);
  return out;
}

ArchiveEntry File(const std::string& name, std::vector<uint8_t> data) {
  ArchiveEntry entry;
  entry.name = name;
  entry.data = std::move(data);
  entry.dosTime = UnixToDosTime(1700000000);
  return entry;
}

ArchiveEntry Directory(const std::string& name) {
  ArchiveEntry entry;
  entry.name = name;
  entry.directory = true;
  entry.dosTime = UnixToDosTime(1700000000);
  return entry;
}

std::vector<ArchiveEntry> MixedEntries() {
  return {File("text.txt", TextData(60000, 1)), File("random.bin", RandomData(20000, 2)),
          File("repeat.dat", RepetitiveData(50000)), File("tone.pcm", SineData(40000)),
          File("small.txt", TextData(100, 3))};
}

// --- Reading the archive back ------------------------------------------------

struct HeaderInfo {
  uint16_t flags;
  uint32_t packedSize;
  uint32_t size;
  uint8_t hostSystem;
  uint32_t crc;
  uint8_t method;
  uint32_t attributes;
  std::string name;
};

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

// Walks the headers, checking their CRCs; fails the test on a broken layout.
std::vector<HeaderInfo> ReadHeaders(const std::vector<uint8_t>& bytes, uint16_t* mainFlags) {
  std::vector<HeaderInfo> out;
  EXPECT_GE(bytes.size(), size_t{20});
  EXPECT_TRUE(std::equal(rar2::kMarker, rar2::kMarker + 7, bytes.begin()));
  EXPECT_EQ(bytes[9], rar2::kMainHeaderType);
  EXPECT_EQ(Get16(bytes, 12), uint32_t(rar2::kMainHeaderSize));
  EXPECT_EQ(Get16(bytes, 7), rar2::Crc32(bytes.data() + 9, 11) & 0xFFFF);
  *mainFlags = uint16_t(Get16(bytes, 10));
  size_t at = 20;
  while (at < bytes.size()) {
    const uint32_t headerSize = Get16(bytes, at + 5);
    if (at + headerSize > bytes.size() || bytes[at + 2] != rar2::kFileHeaderType) {
      ADD_FAILURE() << "broken header at " << at;
      break;
    }
    EXPECT_EQ(Get16(bytes, at), rar2::Crc32(bytes.data() + at + 2, headerSize - 2) & 0xFFFF);
    HeaderInfo info;
    info.flags = uint16_t(Get16(bytes, at + 3));
    info.packedSize = Get32(bytes, at + 7);
    info.size = Get32(bytes, at + 11);
    info.hostSystem = bytes[at + 15];
    info.crc = Get32(bytes, at + 16);
    info.method = bytes[at + 25];
    info.attributes = Get32(bytes, at + 28);
    const uint32_t nameSize = Get16(bytes, at + 26);
    EXPECT_EQ(headerSize, rar2::kFileHeaderSize + nameSize);
    info.name.assign(bytes.begin() + long(at) + 32, bytes.begin() + long(at) + 32 + nameSize);
    out.push_back(info);
    at += headerSize + info.packedSize;
  }
  EXPECT_EQ(at, bytes.size());
  return out;
}

bool HaveProgram(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::string RunCommand(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string DiskName(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "klx_rar2_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::vector<uint8_t> Build(const std::vector<ArchiveEntry>& entries, const WriterOptions& options) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(WriteArchive(entries, options, &bytes, &error)) << error;
  return bytes;
}

// The path the engine finds an entry under: the name as the codec keeps it
// (cut to 259 bytes), with "/" between components.
std::string MountedPath(const std::string& name) {
  return DiskName(name.substr(0, std::min<size_t>(name.size(), rar2::kMaxNameLength)));
}

class Rar2RoundTrip : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    haveUnar_ = HaveProgram("lsar") && HaveProgram("unar");
    if (!haveUnar_)
      std::fprintf(stderr, "lsar/unar (Debian package unar) not found: archives checked by the codec only\n");
    ASSERT_FALSE(folder_.path().empty());
  }

  // Writes the archive to a file of its own in the folder.
  fs::path Save(const std::vector<uint8_t>& bytes) {
    const fs::path archive = folder_.path() / ("archive" + std::to_string(++count_) + ".rar");
    std::ofstream out(archive, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return archive;
  }

  // Mounts the archive through the codec and compares every entry: decoded
  // whole at the mount, and decoded a member at a time as each is read.
  void CheckWithCodec(const std::vector<ArchiveEntry>& entries, const WriterOptions& options,
                      const std::vector<uint8_t>& bytes) {
    for (bool permanent : {false, true}) {
      SCOPED_TRACE(permanent ? "decoded as read" : "decoded at the mount");
      CheckMounted(entries, options, bytes, permanent);
    }
  }

  void CheckMounted(const std::vector<ArchiveEntry>& entries, const WriterOptions& options,
                    const std::vector<uint8_t>& bytes, bool permanent) {
    std::unique_ptr<VirtualDirectory> tree;
    ASSERT_EQ(test::MountRar2(bytes, options.key, &tree, "test.rar2", permanent), kOk);
    for (const ArchiveEntry& entry : entries) {
      const std::string path = MountedPath(entry.name);
      if (entry.directory) {
        EXPECT_NE(tree->ResolveDirectory(String(path.c_str())), nullptr) << entry.name;
      } else {
        std::vector<uint8_t> content;
        EXPECT_TRUE(test::ReadMounted(tree.get(), path, &content)) << entry.name;
        EXPECT_TRUE(content == entry.data) << entry.name;
      }
    }
  }

  // Writes the archive, checks it through the codec, has lsar test every
  // entry and unar unpack it, and compares what unar wrote with the
  // entries. Returns the archive bytes.
  std::vector<uint8_t> Check(const std::vector<ArchiveEntry>& entries, const WriterOptions& options) {
    const std::vector<uint8_t> bytes = Build(entries, options);
    CheckWithCodec(entries, options, bytes);
    if (!haveUnar_) return bytes;
    const fs::path archive = Save(bytes);
    const std::string key = options.key.empty() ? "" : " -p '" + options.key + "'";
    const std::string listing = RunCommand("lsar -nr -t" + key + " '" + archive.string() + "'");
    const std::string expected = std::to_string(entries.size()) + " passed, 0 failed.";
    EXPECT_NE(listing.find(expected), std::string::npos) << listing;

    const fs::path out = folder_.path() / ("out" + std::to_string(count_));
    RunCommand("unar -q -nr -D -o '" + out.string() + "'" + key + " '" + archive.string() + "'");
    for (const ArchiveEntry& entry : entries) {
      const fs::path path = out / DiskName(entry.name);
      if (entry.directory) {
        EXPECT_TRUE(fs::is_directory(path)) << entry.name;
      } else {
        EXPECT_TRUE(ReadFile(path) == entry.data) << entry.name;
      }
    }
    return bytes;
  }

  TempFolder folder_;
  int count_ = 0;
  bool haveUnar_ = false;
};

// --- Round trips -------------------------------------------------------------

TEST_F(Rar2RoundTrip, Stored) {
  const std::vector<uint8_t> bytes = Check(MixedEntries(), {false, 0, ""});
  uint16_t mainFlags;
  for (const HeaderInfo& header : ReadHeaders(bytes, &mainFlags)) {
    EXPECT_EQ(header.method, rar2::kMethodStore);
    EXPECT_EQ(header.packedSize, header.size);
  }
}

TEST_F(Rar2RoundTrip, EachMethod) {
  const std::vector<ArchiveEntry> entries = MixedEntries();
  size_t previous = 0;
  for (int method = 1; method <= 5; ++method) {
    SCOPED_TRACE("method " + std::to_string(method));
    const std::vector<uint8_t> bytes = Check(entries, {false, method, ""});
    uint16_t mainFlags;
    for (const HeaderInfo& header : ReadHeaders(bytes, &mainFlags)) {
      // Random bytes do not shrink and are stored.
      EXPECT_EQ(header.method, header.name == "random.bin" ? rar2::kMethodStore : uint8_t(0x30 + method))
          << header.name;
    }
    if (method >= 3) {
      EXPECT_LE(bytes.size(), previous + previous / 50);
    }
    previous = bytes.size();
  }
}

TEST_F(Rar2RoundTrip, SolidSeveralFiles) {
  std::vector<ArchiveEntry> entries = {File("one.txt", TextData(30000, 5)), Directory("docs"),
                                       File("docs\\two.txt", TextData(30000, 5)), File("empty.txt", {}),
                                       File("docs\\tone.pcm", SineData(20000)),
                                       File("docs\\random.bin", RandomData(5000, 9)),
                                       File("three.txt", TextData(20000, 6))};
  for (int method : {1, 3, 5}) {
    SCOPED_TRACE("method " + std::to_string(method));
    const std::vector<uint8_t> bytes = Check(entries, {true, method, ""});
    uint16_t mainFlags;
    const std::vector<HeaderInfo> headers = ReadHeaders(bytes, &mainFlags);
    EXPECT_EQ(mainFlags & rar2::kMainSolid, rar2::kMainSolid);
    // Entries without data first; the first compressed entry starts the
    // stream, every later one continues it.
    ASSERT_EQ(headers.size(), entries.size());
    EXPECT_EQ(headers[0].name, "docs");
    EXPECT_EQ(headers[1].name, "empty.txt");
    EXPECT_EQ(headers[2].name, "one.txt");
    EXPECT_EQ(headers[2].flags & rar2::kFileSolid, 0);
    for (size_t i = 3; i < headers.size(); ++i) EXPECT_EQ(headers[i].flags & rar2::kFileSolid, rar2::kFileSolid);
    // The second copy of the text is almost free.
    EXPECT_LT(headers[3].packedSize, 200u);
  }
}

TEST_F(Rar2RoundTrip, Encrypted) {
  const std::vector<ArchiveEntry> entries = MixedEntries();
  for (const WriterOptions& options : {WriterOptions{false, 0, "password"}, WriterOptions{false, 3, "password"},
                                       WriterOptions{true, 5, "password"}}) {
    SCOPED_TRACE("method " + std::to_string(options.method));
    const std::vector<uint8_t> bytes = Check(entries, options);
    uint16_t mainFlags;
    for (const HeaderInfo& header : ReadHeaders(bytes, &mainFlags)) {
      EXPECT_EQ(header.flags & rar2::kFileEncrypted, rar2::kFileEncrypted);
      EXPECT_EQ(header.packedSize % 16, 0u);
    }
  }
}

TEST_F(Rar2RoundTrip, EmptyFiles) {
  const std::vector<ArchiveEntry> entries = {File("a.txt", {}), File("b.txt", TextData(1000, 4)), File("c.txt", {}),
                                             File("d.txt", TextData(1000, 5)), File("e.txt", {})};
  for (const WriterOptions& options : {WriterOptions{false, 3, ""}, WriterOptions{true, 3, ""},
                                       WriterOptions{true, 5, "password"}, WriterOptions{false, 0, "password"}}) {
    const std::vector<uint8_t> bytes = Check(entries, options);
    uint16_t mainFlags;
    for (const HeaderInfo& header : ReadHeaders(bytes, &mainFlags)) {
      if (header.size != 0) continue;
      EXPECT_EQ(header.method, rar2::kMethodStore);
      EXPECT_EQ(header.packedSize, 0u);
    }
  }
}

TEST_F(Rar2RoundTrip, FileOfWindowSize) {
  std::vector<uint8_t> data = TextData(1048576, 11);
  const std::vector<uint8_t> noise = RandomData(200000, 12);
  std::copy(noise.begin(), noise.end(), data.begin() + 400000);
  Check({File("window.bin", data)}, {false, 5, ""});
  Check({File("window.bin", data)}, {false, 1, ""});
}

TEST_F(Rar2RoundTrip, LiteralJustPastTheWindow) {
  // The last symbol is a literal written one byte past the window size,
  // which makes unar decode a symbol beyond the end of the entry.
  std::vector<uint8_t> data = TextData(1048577 - 64, 15);
  const std::vector<uint8_t> noise = RandomData(64, 16);
  data.insert(data.end(), noise.begin(), noise.end());
  Check({File("past.bin", data)}, {false, 3, ""});
  Check({File("past.bin", data), File("next.txt", TextData(5000, 15))}, {true, 1, ""});
}

TEST_F(Rar2RoundTrip, ShortCodesAtTheEnd) {
  // Two-letter files give one-bit literal codes, so an entry's last symbols
  // take few bits; unar reads well past the last symbol and must not run
  // out of input.
  std::mt19937 random(17);
  std::vector<ArchiveEntry> entries;
  for (int i = 0; i < 24; ++i) {
    std::vector<uint8_t> data(3000 + 13 * size_t(i));
    for (uint8_t& b : data) b = random() % 4 == 0 ? 'b' : 'a';
    entries.push_back(File("two" + std::to_string(i) + ".txt", data));
  }
  Check(entries, {true, 3, ""});
  Check(entries, {false, 3, ""});
}

TEST_F(Rar2RoundTrip, FarMatches) {
  // Copies 300 KB back need the length bonuses of far distances.
  std::vector<uint8_t> data = RandomData(320000, 13);
  const std::vector<uint8_t> copy(data.begin(), data.begin() + 300000);
  data.insert(data.end(), copy.begin(), copy.end());
  const std::vector<uint8_t> text = TextData(100000, 14);
  data.insert(data.end(), text.begin(), text.end());
  data.insert(data.end(), text.begin() + 5000, text.begin() + 60000);
  const std::vector<uint8_t> bytes = Check({File("far.bin", data)}, {false, 5, ""});
  EXPECT_LT(bytes.size(), 320000u + 60000u);
}

TEST_F(Rar2RoundTrip, NestedDirectories) {
  Check({Directory("a"), Directory("a\\b"), Directory("a\\b\\c"), File("a\\b\\c\\deep.txt", TextData(500, 1)),
         File("a\\top.txt", TextData(700, 2)), Directory("a\\empty")},
        {false, 3, ""});
}

TEST_F(Rar2RoundTrip, LongNames) {
  const std::string level1(80, 'x');
  const std::string level2(80, 'y');
  const std::string level3(80, 'z');
  const std::string file = level1 + "\\" + level2 + "\\" + level3 + "\\" + std::string(40, 'f') + ".txt";
  ASSERT_GT(file.size(), 259u);
  Check({Directory(level1), Directory(level1 + "\\" + level2), Directory(level1 + "\\" + level2 + "\\" + level3),
         File(file, TextData(3000, 8))},
        {false, 2, ""});
}

TEST_F(Rar2RoundTrip, UnixHostWritesFileModes) {
  // 0664 and 0775 have the group-write bit 0x10; 040755 lacks it.
  ArchiveEntry shared = Directory("shared");
  shared.permissions = 0775;
  ArchiveEntry notes = File("shared\\notes.txt", TextData(3000, 21));
  notes.permissions = 0664;
  const std::vector<ArchiveEntry> entries = {shared, Directory("private"), notes,
                                             File("private\\plain.txt", TextData(2000, 22))};
  const std::map<std::string, uint32_t> modes = {
      {"shared", 040775}, {"private", 040755}, {"shared\\notes.txt", 0100664}, {"private\\plain.txt", 0100644}};
  for (const WriterOptions& options : {WriterOptions{false, 3, "", rar2::kHostUnix},
                                       WriterOptions{true, 5, "", rar2::kHostUnix}}) {
    SCOPED_TRACE(options.solid ? "solid" : "not solid");
    const std::vector<uint8_t> bytes = Check(entries, options);
    uint16_t mainFlags;
    const std::vector<HeaderInfo> headers = ReadHeaders(bytes, &mainFlags);
    ASSERT_EQ(headers.size(), entries.size());
    for (const HeaderInfo& header : headers) {
      EXPECT_EQ(header.hostSystem, rar2::kHostUnix) << header.name;
      EXPECT_EQ(header.attributes, modes.at(header.name)) << header.name;
    }
    if (haveUnar_) {
      // lsar reads the same modes from a Unix archive.
      const std::string listing = RunCommand("lsar -L '" + Save(bytes).string() + "'");
      for (const char* mode : {"(40775)", "(40755)", "(100664)", "(100644)"})
        EXPECT_NE(listing.find(mode), std::string::npos) << mode << "\n" << listing;
    }
  }
}

TEST_F(Rar2RoundTrip, MixedContentCompresses) {
  const std::vector<ArchiveEntry> entries = MixedEntries();
  const std::vector<uint8_t> bytes = Check(entries, {false, 5, ""});
  uint16_t mainFlags;
  for (const HeaderInfo& header : ReadHeaders(bytes, &mainFlags)) {
    if (header.name == "repeat.dat") {
      EXPECT_LT(header.packedSize, header.size / 10);
    } else if (header.name == "text.txt") {
      EXPECT_LT(header.packedSize, header.size / 3);
    } else if (header.name == "tone.pcm") {
      EXPECT_LT(header.packedSize, header.size);
    }
  }
}

// --- Without external programs ----------------------------------------------

TEST(Rar2Writer, HeadersDescribeEntries) {
  const std::vector<ArchiveEntry> entries = {Directory("dir"), File("dir\\file.txt", TextData(5000, 3))};
  const std::vector<uint8_t> bytes = Build(entries, {false, 3, ""});
  uint16_t mainFlags;
  const std::vector<HeaderInfo> headers = ReadHeaders(bytes, &mainFlags);
  EXPECT_EQ(mainFlags, 0);
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_EQ(headers[0].name, "dir");
  EXPECT_EQ(headers[0].hostSystem, rar2::kHostMsDos);
  EXPECT_EQ(headers[0].flags, rar2::kBlockHasData | rar2::kFileDirectoryBits);
  EXPECT_EQ(headers[0].attributes, rar2::kAttributeDirectory);
  EXPECT_EQ(headers[0].method, rar2::kMethodStore);
  EXPECT_EQ(headers[0].packedSize, 0u);
  EXPECT_EQ(headers[1].name, "dir\\file.txt");
  EXPECT_EQ(headers[1].hostSystem, rar2::kHostMsDos);
  EXPECT_EQ(headers[1].flags, rar2::kBlockHasData | rar2::kFileDictionary1M);
  EXPECT_EQ(headers[1].attributes, rar2::kAttributeArchive);
  EXPECT_EQ(headers[1].method, 0x33);
  EXPECT_EQ(headers[1].size, 5000u);
  EXPECT_EQ(headers[1].crc, rar2::Crc32(entries[1].data.data(), entries[1].data.size()));
}

TEST(Rar2Writer, Deterministic) {
  for (const WriterOptions& options : {WriterOptions{false, 5, ""}, WriterOptions{true, 3, "key"}}) {
    EXPECT_TRUE(Build(MixedEntries(), options) == Build(MixedEntries(), options));
  }
}

TEST(Rar2Writer, DeterministicFromFolders) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  fs::create_directories(folder.path() / "tree" / "sub");
  std::ofstream(folder.path() / "tree" / "b.txt") << "second file";
  std::ofstream(folder.path() / "tree" / "a.txt") << "first file";
  std::ofstream(folder.path() / "tree" / "sub" / "c.txt") << "third file";
  const std::string root = (folder.path() / "tree").string();
  std::vector<ArchiveEntry> first;
  std::vector<ArchiveEntry> second;
  std::string error;
  ASSERT_TRUE(CollectPaths({root}, 1700000000, &first, &error)) << error;
  fs::last_write_time(folder.path() / "tree" / "a.txt", fs::file_time_type::clock::now() - std::chrono::hours(5));
  ASSERT_TRUE(CollectPaths({root}, 1700000000, &second, &error)) << error;
  EXPECT_TRUE(Build(first, {true, 5, ""}) == Build(second, {true, 5, ""}));
}

TEST(Rar2Writer, RefusesBadInput) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(WriteArchive({File("", {1, 2, 3})}, {}, &bytes, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteArchive({File("a", {})}, {false, 6, ""}, &bytes, &error));
  EXPECT_FALSE(WriteArchive({File("a", {})}, {false, 3, "", 2}, &bytes, &error));
  ArchiveEntry tooMany = File("a", {});
  tooMany.permissions = 010000;
  EXPECT_FALSE(WriteArchive({tooMany}, {false, 3, "", rar2::kHostUnix}, &bytes, &error));
}

}  // namespace
}  // namespace klx::rar2tool
