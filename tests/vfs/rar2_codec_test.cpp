// The codec on hand-built archives: the tree it mounts, how extraction
// matches names, and how it survives damaged input.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "core/codec_manager.h"
#include "support/engine_fixture.h"
#include "support/rar2_test_support.h"
#include "vfs/memory_file.h"
#include "vfs/rar2/rar2_archive.h"
#include "vfs/rar2/rar2_file_codec.h"

namespace klx {
namespace {

using test::Bytes;
using test::Rar2Builder;
using Rar2CodecTest = test::EngineTest;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Read(VirtualDirectory* tree, const std::string& path) {
  Bytes content;
  if (!test::ReadMounted(tree, path, &content)) return "<none>";
  return Text(content);
}

TEST_F(Rar2CodecTest, MountsDirectoriesAndFilesUnderTheArchiveName) {
  Rar2Builder archive;
  archive.AddDirectory("Models").AddDirectory("Models\\Trees").AddStored("Models\\Trees\\oak.txt", "oak");
  archive.AddStored("readme.txt", "hello").AddStored("empty.txt", "");
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree, "Media.rar2"), kOk);
  EXPECT_STREQ(tree->GetName().CStr(), "Media.rar2");
  EXPECT_EQ(Read(tree.get(), "Models/Trees/oak.txt"), "oak");
  EXPECT_EQ(Read(tree.get(), "Models\\Trees\\oak.txt"), "oak");
  EXPECT_EQ(Read(tree.get(), "readme.txt"), "hello");
  // An empty file has content of size 0 and opens.
  EXPECT_EQ(Read(tree.get(), "empty.txt"), "");
  EXPECT_EQ(tree->GetDirectoryCount(), 1);
  EXPECT_EQ(tree->GetFileCount(), 2);

  // Mounted files keep the codec's module alive.
  auto* file = static_cast<MemoryFile*>(tree->FindFile(String("oak.txt")));
  ASSERT_NE(file, nullptr);
  Codec* codec = CodecManager::FindCodec(String("RAR2FileCodec"));
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(file->GetModule(), codec->GetModule());
  EXPECT_NE(file->GetModule(), nullptr);
}

TEST_F(Rar2CodecTest, DirectoriesTheArchiveDoesNotListAreMade) {
  Rar2Builder archive;
  archive.AddStored("a\\b\\c.txt", "deep").AddDirectory("a").AddStored("a\\d.txt", "near");
  archive.AddStored("..\\up.txt", "escaped").AddStored(".\\here.txt", "here");
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree), kOk);
  EXPECT_EQ(Read(tree.get(), "a/b/c.txt"), "deep");
  EXPECT_EQ(Read(tree.get(), "a/d.txt"), "near");
  // The later directory entry reuses the directory made for the file.
  EXPECT_EQ(tree->GetDirectoryCount(), 1);
  // Paths resolve as the engine resolves them; one that climbs out of the
  // archive's directory is left out.
  EXPECT_EQ(Read(tree.get(), "here.txt"), "here");
  EXPECT_EQ(tree->FindFile(String("up.txt")), nullptr);
  EXPECT_EQ(tree->GetFileCount(), 1);
}

TEST_F(Rar2CodecTest, NamesDifferingInCaseOrSeparatorShareTheFirstEntrysBytes) {
  Rar2Builder archive;
  archive.AddDirectory("dir").AddDirectory("DIR");
  archive.AddStored("dir\\Name.txt", "first").AddStored("DIR\\NAME.TXT", "second");
  archive.AddStored("dir/name.txt", "third").AddStored("other.txt", "other");
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree), kOk);
  EXPECT_EQ(Read(tree.get(), "dir/Name.txt"), "first");
  EXPECT_EQ(Read(tree.get(), "DIR/NAME.TXT"), "first");
  // No "\" in this name: it lives in the archive's directory under its whole
  // name, and gets the first entry's bytes too.
  VirtualFile* slashed = nullptr;
  for (int32_t i = 0; i < tree->GetFileCount(); ++i)
    if (tree->GetFile(i)->GetName() == String("dir/name.txt")) slashed = tree->GetFile(i);
  ASSERT_NE(slashed, nullptr);
  ASSERT_EQ(slashed->Open(VirtualFile::kRead), kOk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(slashed->GetBuffer()), 5), "first");
  slashed->Close();
  EXPECT_EQ(Read(tree.get(), "other.txt"), "other");
}

// A stored entry as packed on the given host system.
Rar2Builder::Entry HostEntry(const std::string& name, uint8_t hostSystem, uint32_t attributes,
                             const std::string& content = "") {
  Rar2Builder::Entry entry;
  entry.name = name;
  entry.data.assign(content.begin(), content.end());
  entry.hostSystem = hostSystem;
  entry.attributes = attributes;
  return entry;
}

TEST_F(Rar2CodecTest, UnixModesNameDirectoriesByTypeOtherHostsByAttribute0x10) {
  Rar2Builder archive;
  // Unix: 040775 and 040755 are directories; 0100664 has the group-write
  // bit 0x10 and is a file all the same.
  archive.Add(HostEntry("shared", 3, 040775)).Add(HostEntry("private", 3, 040755));
  archive.Add(HostEntry("shared\\notes.txt", 3, 0100664, "group writable"));
  archive.Add(HostEntry("plain.txt", 3, 0100644, "owner writable"));
  // MS-DOS and Windows: 0x10 is the directory attribute.
  archive.Add(HostEntry("dos", 0, 0x10)).Add(HostEntry("dos\\file.txt", 0, 0x20, "dos file"));
  archive.Add(HostEntry("windows", 2, 0x10));
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree), kOk);
  for (const char* directory : {"shared", "private", "dos", "windows"}) {
    EXPECT_NE(tree->ResolveDirectory(String(directory)), nullptr) << directory;
    EXPECT_EQ(tree->FindFile(String(directory)), nullptr) << directory;
  }
  EXPECT_EQ(Read(tree.get(), "shared/notes.txt"), "group writable");
  EXPECT_EQ(Read(tree.get(), "plain.txt"), "owner writable");
  EXPECT_EQ(Read(tree.get(), "dos/file.txt"), "dos file");
  EXPECT_EQ(tree->GetDirectoryCount(), 4);
  EXPECT_EQ(tree->GetFileCount(), 1);
}

TEST_F(Rar2CodecTest, UnsupportedVersionEmptiesTheEntryAndInASolidArchiveAllLaterOnes) {
  for (bool solid : {false, true}) {
    SCOPED_TRACE(solid ? "solid" : "not solid");
    Rar2Builder archive(solid);
    archive.AddStored("before.txt", "before");
    Rar2Builder::Entry newer;
    newer.name = "newer.txt";
    newer.data = {'x'};
    newer.version = 29;
    archive.Add(newer).AddStored("after.txt", "after");
    std::unique_ptr<VirtualDirectory> tree;
    ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree), kOk);
    EXPECT_EQ(Read(tree.get(), "before.txt"), "before");
    ASSERT_NE(tree->FindFile(String("newer.txt")), nullptr);
    EXPECT_EQ(Read(tree.get(), "newer.txt"), "<none>");
    EXPECT_EQ(Read(tree.get(), "after.txt"), solid ? "<none>" : "after");
  }
}

// "crc.txt": stored bytes that do not match the CRC-32 the header gives.
Rar2Builder::Entry WrongCrcEntry() {
  Rar2Builder::Entry entry;
  entry.name = "crc.txt";
  entry.data = {'a', 'b', 'c'};
  entry.useCrc = true;
  entry.crc = 0x12345678;
  return entry;
}

TEST_F(Rar2CodecTest, CrcMismatchAndShortDataLeaveTheEntryWithoutContent) {
  Rar2Builder archive;
  const Rar2Builder::Entry wrongCrc = WrongCrcEntry();
  Rar2Builder::Entry lyingSize;  // stored, claims more than it holds
  lyingSize.name = "short.txt";
  lyingSize.data = {'a', 'b'};
  lyingSize.useUnpackedSize = true;
  lyingSize.unpackedSize = 100;
  Rar2Builder::Entry huge;  // compressed, claims far more than its bits can say
  huge.name = "huge.bin";
  huge.data = Bytes(16, 0);
  huge.method = 0x35;
  huge.useUnpackedSize = true;
  huge.unpackedSize = 0xFFFFFFF0u;
  archive.Add(wrongCrc).Add(lyingSize).Add(huge).AddStored("fine.txt", "fine");
  std::unique_ptr<VirtualDirectory> tree;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree), kOk);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(Read(tree.get(), "crc.txt"), "<none>");
  EXPECT_EQ(Read(tree.get(), "short.txt"), "<none>");
  EXPECT_EQ(Read(tree.get(), "huge.bin"), "<none>");
  EXPECT_EQ(Read(tree.get(), "fine.txt"), "fine");
}

TEST_F(Rar2CodecTest, ALentArchiveDecodesEachMemberWhenItIsReadAndHoldsNothingBetween) {
  Rar2Builder archive;
  const Rar2Builder::Entry wrongCrc = WrongCrcEntry();
  archive.Add(wrongCrc).AddStored("Sub\\fine.txt", "fine").AddStored("FINE.TXT", "first").AddStored("fine.txt", "second");
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree, "Media.rar2", true), kOk);
  // A damaged member is found when it is read, and fails as at a mount
  // that decodes everything; the others read, twice over.
  EXPECT_EQ(Read(tree.get(), "crc.txt"), "<none>");
  EXPECT_EQ(Read(tree.get(), "Sub/fine.txt"), "fine");
  EXPECT_EQ(Read(tree.get(), "Sub/fine.txt"), "fine");
  EXPECT_EQ(Read(tree.get(), "fine.txt"), "first");  // a repeated name gives the first entry's bytes
  auto* file = static_cast<MemoryFile*>(tree->FindFile(String("Sub/fine.txt")));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetContent(), nullptr);  // nothing kept between opens
  EXPECT_EQ(file->GetSize(), 4);
  EXPECT_FALSE(file->IsOpen());
}

TEST_F(Rar2CodecTest, LongNamesAreCutAndTheNextBlockIsStillFound) {
  const std::string longName(300, 'n');
  Rar2Builder archive;
  archive.AddStored(longName, "long").AddStored("next.txt", "next");
  const rar2::ArchiveListing listing = rar2::ListEntries(archive.bytes().data(), archive.bytes().size());
  ASSERT_EQ(listing.entries.size(), 2u);
  EXPECT_EQ(listing.entries[0].name, std::string(259, 'n'));
  EXPECT_EQ(listing.entries[0].nameSize, 300);
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(archive.bytes(), "", &tree), kOk);
  EXPECT_EQ(Read(tree.get(), std::string(259, 'n')), "long");
  EXPECT_EQ(Read(tree.get(), "next.txt"), "next");
}

TEST_F(Rar2CodecTest, NotAnArchiveMountsEmpty) {
  for (const Bytes& bytes : {Bytes{}, Bytes{'R', 'a', 'r'}, Bytes(64, 'x'),
                             Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0x01}}) {
    std::unique_ptr<VirtualDirectory> tree;
    ASSERT_EQ(test::MountRar2(bytes, "", &tree), kOk);
    EXPECT_EQ(tree->GetFileCount() + tree->GetDirectoryCount(), 0);
  }
  Codec* codec = nullptr;
  ASSERT_EQ(CodecManager::LoadCodec(String("RAR2FileCodec"), &codec), kOk);
  VirtualDirectory* out = nullptr;
  EXPECT_EQ(static_cast<FileCodec*>(codec)->Load(nullptr, &out, String()), kInvalidArg);
}

TEST_F(Rar2CodecTest, DamagedChainsAndTruncationsNeverReadOutside) {
  Rar2Builder archive;
  archive.AddDirectory("d").AddStored("d\\one.txt", "one one one").AddStored("two.txt", "two");
  const Bytes whole = archive.bytes();
  // Every prefix: the entries whose data is complete still extract.
  for (size_t length = 0; length <= whole.size(); ++length) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    std::unique_ptr<VirtualDirectory> tree;
    ASSERT_EQ(test::MountRar2(cut, "", &tree), kOk) << length;
    if (length == whole.size()) EXPECT_EQ(Read(tree.get(), "two.txt"), "two");
    else EXPECT_EQ(Read(tree.get(), "two.txt"), "<none>");
  }
  // A header size below 7 ends the listing there.
  Rar2Builder broken;
  broken.AddStored("kept.txt", "kept");
  Bytes bytes = broken.bytes();
  const size_t second = bytes.size();
  broken.AddStored("lost.txt", "lost");
  bytes = broken.bytes();
  bytes[second + 5] = 6;
  bytes[second + 6] = 0;
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(bytes, "", &tree), kOk);
  EXPECT_EQ(Read(tree.get(), "kept.txt"), "kept");
  EXPECT_EQ(tree->FindFile(String("lost.txt")), nullptr);
  // A name size larger than the header reads into the data, within bounds.
  Rar2Builder lying;
  Rar2Builder::Entry entry;
  entry.name = "n";
  entry.data = {'d', 'a', 't', 'a'};
  entry.nameSizeOverride = 4000;
  lying.Add(entry);
  const rar2::ArchiveListing listing = rar2::ListEntries(lying.bytes().data(), lying.bytes().size());
  EXPECT_TRUE(listing.entries.empty());
}

TEST_F(Rar2CodecTest, SaveWritesNothing) {
  Codec* codec = nullptr;
  ASSERT_EQ(CodecManager::LoadCodec(String("RAR2FileCodec"), &codec), kOk);
  auto* rar = static_cast<RAR2FileCodec*>(codec);
  MemoryFile file{String("out.rar2")};
  VirtualDirectory source{String("src")};
  EXPECT_EQ(rar->Save(&file, &source), kFailed);
  EXPECT_EQ(rar->Save(nullptr, &source), kFailed);
}

}  // namespace
}  // namespace klx
