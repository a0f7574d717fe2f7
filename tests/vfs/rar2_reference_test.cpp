// Archives made by period RAR programs, decoded byte for byte.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/engine_fixture.h"
#include "support/rar2_test_support.h"
#include "vfs/rar2/rar2_archive.h"

namespace klx {
namespace {

using test::Bytes;

class Rar2ReferenceTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    folder_ = test::ReferenceRarFolder();
    if (folder_.empty()) GTEST_SKIP() << "reference archives (../shared/testdata/rar) not found";
  }
  Bytes Archive(const char* name) { return test::ReadHostFile(folder_ + "/" + name); }

  std::string folder_;
};

constexpr const char* kWavSha256 = "0aeeb3c12f01d7089ca83eb321d5a54673ba0e6011231f5bc1fa10102ea3d797";
constexpr const char* kSecretSha256 = "5f512316b5a4d27c6563b83299c5dd7061fc0c4ee6969a4483363b836c2d6951";

TEST_F(Rar2ReferenceTest, LzAndAudioModeArchivesGiveTheReferenceWave) {
  const Bytes reference = test::ReadHostFile(folder_ + "/BoatModernEnglish.wav");
  ASSERT_EQ(test::Sha256Hex(reference), kWavSha256);
  for (const char* name : {"BoatModernEnglish-regular-unpack20.rar", "BoatModernEnglish-audio-text-unpack20.rar"}) {
    SCOPED_TRACE(name);
    std::unique_ptr<VirtualDirectory> tree;
    ASSERT_EQ(test::MountRar2(Archive(name), "", &tree), kOk);
    Bytes wav;
    ASSERT_TRUE(test::ReadMounted(tree.get(), "BoatModernEnglish.wav", &wav));
    EXPECT_EQ(wav.size(), 56464u);
    EXPECT_TRUE(wav == reference);
    Bytes license;
    ASSERT_TRUE(test::ReadMounted(tree.get(), "LICENSE.txt", &license));
    EXPECT_EQ(license.size(), 107u);
  }
}

TEST_F(Rar2ReferenceTest, EncryptedArchivesNeedTheKey) {
  for (const char* name : {"rar20-password-stored.rar", "rar20-password-compressed.rar"}) {
    SCOPED_TRACE(name);
    std::unique_ptr<VirtualDirectory> tree;
    ASSERT_EQ(test::MountRar2(Archive(name), "password", &tree), kOk);
    Bytes secret;
    ASSERT_TRUE(test::ReadMounted(tree.get(), "SECRET.TXT", &secret));
    EXPECT_EQ(secret.size(), 87u);
    EXPECT_EQ(test::Sha256Hex(secret), kSecretSha256);

    // Without the key, or with a wrong one, the entry is listed but empty.
    for (const char* key : {"", "Password"}) {
      ASSERT_EQ(test::MountRar2(Archive(name), key, &tree), kOk);
      ASSERT_NE(tree->FindFile(String("SECRET.TXT")), nullptr);
      EXPECT_FALSE(test::ReadMounted(tree.get(), "SECRET.TXT", &secret)) << "key " << key;
    }
  }
}

TEST_F(Rar2ReferenceTest, DistanceBeforeTheStartFailsTheEntryCleanly) {
  std::unique_ptr<VirtualDirectory> tree;
  ASSERT_EQ(test::MountRar2(Archive("void-dist-v20.rar"), "", &tree), kOk);
  ASSERT_NE(tree->FindFile(String("void20")), nullptr);
  Bytes content;
  EXPECT_FALSE(test::ReadMounted(tree.get(), "void20", &content));
}

TEST_F(Rar2ReferenceTest, ListingReportsTheHeaderFields) {
  const Bytes archive = Archive("BoatModernEnglish-regular-unpack20.rar");
  const rar2::ArchiveListing listing = rar2::ListEntries(archive.data(), archive.size());
  ASSERT_EQ(listing.entries.size(), 2u);
  EXPECT_FALSE(listing.solid);
  EXPECT_EQ(listing.entries[0].name, "BoatModernEnglish.wav");
  EXPECT_EQ(listing.entries[0].method, 0x35);
  EXPECT_EQ(listing.entries[0].unpackVersion, 20);
  EXPECT_EQ(listing.entries[0].unpackedSize, 56464u);
  EXPECT_EQ(listing.entries[1].name, "LICENSE.txt");
  EXPECT_EQ(listing.entries[1].method, 0x30);
}

}  // namespace
}  // namespace klx
