#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/codec_manager.h"
#include "platform/resources.h"
#include "support/engine_fixture.h"
#include "support/test_archive_codec.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx {
namespace {

using VfsTest = test::EngineTest;

MemoryFile* NewMemoryFile(const char* name, const std::string& content) {
  auto* file = new MemoryFile(String(name));
  auto* bytes = new uint8_t[content.size() + 1];
  std::memcpy(bytes, content.data(), content.size());
  file->SetContent(bytes, static_cast<int32_t>(content.size()));
  return file;
}

std::string ReadAll(VirtualFile* file) {
  if (file == nullptr) {
    ADD_FAILURE() << "no file";
    return "";
  }
  EXPECT_EQ(file->Open(VirtualFile::kRead), kOk);
  std::string text(static_cast<size_t>(file->GetSize()), '\0');
  EXPECT_EQ(file->Read(text.data(), static_cast<int32_t>(text.size())), kOk);
  EXPECT_EQ(file->Close(), kOk);
  return text;
}

std::vector<std::string> DirectoryNames(const VirtualDirectory& directory) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < directory.GetDirectoryCount(); ++i) {
    names.emplace_back(directory.GetDirectory(i)->GetName().CStr());
  }
  return names;
}

TEST_F(VfsTest, EntriesAreOrderedByTheirFirstByteAsSignedValue) {
  VirtualDirectory root{String()};
  new VirtualDirectory(String("CustomData.rar2"), &root);
  new VirtualDirectory(String("Media.rar2"), &root);
  EXPECT_EQ(DirectoryNames(root), (std::vector<std::string>{"Media.rar2", "CustomData.rar2"}));
  new VirtualDirectory(String("Maps"), &root);           // same first byte: after "Media.rar2"
  new VirtualDirectory(String("\xC0\xE1\xE2"), &root);   // Cyrillic: negative, so last
  new VirtualDirectory(String(), &root);                 // empty name: below everything
  new VirtualDirectory(String("zeta"), &root);
  EXPECT_EQ(DirectoryNames(root), (std::vector<std::string>{"zeta", "Media.rar2", "Maps",
                                                            "CustomData.rar2", "\xC0\xE1\xE2", ""}));
}

TEST_F(VfsTest, PathsResolveWithEitherSeparatorAndExactCase) {
  VirtualDirectory root{String()};
  auto* media = new VirtualDirectory(String("Media.rar2"), &root);
  auto* textures = new VirtualDirectory(String("Textures"), media);
  MemoryFile* apple = NewMemoryFile("apple01.jpg", "apple");
  textures->AddFile(apple);

  EXPECT_EQ(media->FindFile(String("Textures/apple01.jpg")), apple);
  EXPECT_EQ(media->FindFile(String("Textures\\apple01.jpg")), apple);
  EXPECT_EQ(media->FindFile(String("textures/apple01.jpg")), nullptr);
  EXPECT_EQ(media->FindFile(String("Textures/Apple01.jpg")), nullptr);
  EXPECT_EQ(media->FindFile(String("apple01.jpg")), apple);  // bare name: anywhere below
  EXPECT_EQ(root.FindFile(String("Media.rar2/Textures/apple01.jpg")), apple);
  EXPECT_EQ(textures->FindFile(String("../Textures/apple01.jpg")), apple);
  EXPECT_EQ(media->FindFile(String("/Textures/apple01.jpg")), apple);

  EXPECT_EQ(root.ResolveDirectory(String("..")), nullptr);
  EXPECT_EQ(root.ResolveDirectory(String("../Media.rar2")), nullptr);
  EXPECT_EQ(media->ResolveDirectory(String("./Textures")), textures);
  EXPECT_EQ(media->ResolveDirectory(String("")), media);
  EXPECT_EQ(media->ResolveDirectory(String("Media.rar2")), media);  // its own name
  EXPECT_EQ(media->ResolveDirectory(String("Sounds")), nullptr);

  EXPECT_EQ(textures->GetPath(), "Media.rar2/Textures/");
  EXPECT_EQ(apple->GetFullPath(), "Media.rar2/Textures/apple01.jpg");
  EXPECT_EQ(apple->GetExtension(), "jpg");
  EXPECT_EQ(root.GetPath(), "");
}

TEST_F(VfsTest, AddingTheSameEntryTwiceFailsButEqualNamesAreFine) {
  VirtualDirectory root{String("root")};
  auto* a = new VirtualDirectory(String("Textures"), &root);
  log_->lines.clear();
  EXPECT_EQ(root.AddDirectory(a), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Присоединяемая директория [Textures] уже присоединена к директории [root].")));
  auto* b = new VirtualDirectory(String("Textures"), &root);
  EXPECT_EQ(root.GetDirectoryCount(), 2);
  EXPECT_EQ(root.ResolveDirectory(String("Textures")), a);  // the first of that name
  EXPECT_EQ(root.AddDirectory(nullptr), kInvalidArg);
  EXPECT_EQ(root.AddFile(nullptr), kInvalidArg);

  EXPECT_EQ(root.RemoveDirectory(b), kOk);
  EXPECT_EQ(b->GetParent(), nullptr);
  EXPECT_EQ(root.RemoveDirectory(b), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Удаляемая директория [Textures] не найдена в директории [root].")));
  delete b;  // removed entries are not destroyed by the directory
}

TEST_F(VfsTest, MemoryFilesAreReadOnlyAndSurviveRepeatedOpens) {
  VirtualDirectory root{String("dir")};
  MemoryFile* file = NewMemoryFile("car.ogg", "engine hum");
  root.AddFile(file);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ReadAll(file), "engine hum");

  EXPECT_EQ(file->Open(VirtualFile::kWrite), kFailed);
  EXPECT_FALSE(file->IsOpen());
  EXPECT_EQ(file->Open(VirtualFile::kAppend), kFailed);
  char byte;
  log_->lines.clear();
  EXPECT_EQ(file->Read(&byte, 1), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Чтение из закрытого файла [car.ogg].")));

  // Size of a closed file: opened and closed again.
  EXPECT_EQ(file->GetSize(), 10);
  EXPECT_FALSE(file->IsOpen());
  EXPECT_EQ(file->Close(), kOk);
  EXPECT_EQ(file->Close(), kOk);

  // A read past the end marks this opening bad; the next opening is fresh.
  ASSERT_EQ(file->Open(VirtualFile::kRead), kOk);
  char big[64];
  EXPECT_EQ(file->Read(big, 64), kFailed);
  EXPECT_EQ(file->Read(big, 1), kFailed);
  ASSERT_EQ(file->Open(VirtualFile::kRead), kOk);  // re-open
  EXPECT_EQ(file->Read(big, 6), kOk);
  EXPECT_EQ(std::string(big, 6), "engine");
  EXPECT_EQ(file->Write("x", 1), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Запись в файл [car.ogg], открытый для чтения.")));
  file->Close();
}

TEST_F(VfsTest, OperatingSystemFilesWriteOnCloseAndAppend) {
  const std::string folder = ::testing::TempDir() + "klx_vfs_test";
  std::remove((folder + "/notes.txt").c_str());
  std::string command = "mkdir -p '" + folder + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  VirtualDirectory directory{String(folder.c_str())};
  auto* file = new VirtualFile(String("notes.txt"));
  directory.AddFile(file);
  EXPECT_EQ(file->GetFullPath(), (folder + "/notes.txt").c_str());

  ASSERT_EQ(file->Open(VirtualFile::kWrite), kOk);
  EXPECT_EQ(file->WriteString(String("first")), kOk);
  EXPECT_EQ(file->GetSize(), 9);  // bytes written so far
  char byte;
  EXPECT_EQ(file->Read(&byte, 1), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Чтение из файла [notes.txt], открытого для записи.")));
  ASSERT_EQ(file->Close(), kOk);
  ASSERT_EQ(file->Open(VirtualFile::kAppend), kOk);
  file->WriteInt32(7);
  ASSERT_EQ(file->Close(), kOk);

  EXPECT_EQ(file->GetSize(), 13);
  ASSERT_EQ(file->Open(VirtualFile::kRead), kOk);
  String text;
  int32_t number = 0;
  EXPECT_EQ(file->ReadString(text), kOk);
  EXPECT_EQ(file->ReadInt32(number), kOk);
  EXPECT_EQ(text, "first");
  EXPECT_EQ(number, 7);
  file->Close();

  auto* missing = new VirtualFile(String("missing.txt"));
  directory.AddFile(missing);
  EXPECT_EQ(missing->Open(VirtualFile::kRead), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Невозможно открыть файл [missing.txt].")));
  EXPECT_EQ(missing->GetSize(), 0);
  std::remove((folder + "/notes.txt").c_str());
}

TEST_F(VfsTest, DestroyingADirectoryDetachesItAndDestroysItsEntries) {
  VirtualDirectory root{String("root")};
  auto* child = new VirtualDirectory(String("child"), &root);
  child->AddFile(NewMemoryFile("a.txt", "a"));
  log_->lines.clear();
  delete child;
  EXPECT_EQ(root.GetDirectoryCount(), 0);
  EXPECT_EQ(log_->lines.front().text, test::Text("Удаляется директория [child]."));
  EXPECT_TRUE(log_->Has(kLogInfo, test::Text("Удаляется файл [a.txt].")));
  EXPECT_EQ(log_->lines.back().text, test::Text("Директория удалена [child]."));
}

TEST_F(VfsTest, MountedArchivesAreSearchedInRootOrder) {
  ASSERT_EQ(test::LoadTestArchiveCodec(), kOk);
  // Mounted from resources in the order the program uses.
  ASSERT_EQ(FileManager::AttachResourceArchive(9134, String("CustomData.tarc"), String()), kOk);
  ASSERT_EQ(FileManager::AttachResourceArchive(9227, String("Media.tarc"), String()), kOk);
  VirtualDirectory* root = FileManager::GetRoot();
  ASSERT_EQ(root->GetDirectoryCount(), 2);
  EXPECT_EQ(root->GetDirectory(0)->GetName(), "Media.tarc");

  VirtualFile* scene = FileManager::FindFile(String("Main.STR"));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(ReadAll(scene), "media scene");
  EXPECT_EQ(ReadAll(FileManager::FindFile(String("apple01.jpg"))), "media apple");
  EXPECT_EQ(ReadAll(FileManager::FindFile(String("loader.jpg"))), "loading");
  EXPECT_EQ(ReadAll(FileManager::FindFile(String("Textures/apple01.jpg"))), "media apple");
  // Paths are relative to each mounted tree; from the root they name one.
  EXPECT_EQ(FileManager::FindFile(String("CustomData.tarc/Textures/apple01.jpg")), nullptr);
  EXPECT_EQ(ReadAll(root->FindFile(String("CustomData.tarc/Textures/apple01.jpg"))),
            "custom apple");
  EXPECT_EQ(FileManager::FindFile(String("textures/apple01.jpg")), nullptr);

  // Files attached to the root itself are not searched.
  root->AddFile(NewMemoryFile("loose.txt", "x"));
  EXPECT_EQ(FileManager::FindFile(String("loose.txt")), nullptr);
}

TEST_F(VfsTest, ArchiveMountingReportsEachFailure) {
  EXPECT_EQ(FileManager::AttachArchive(nullptr, String()), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Указатель на архив равен 0.")));
  std::unique_ptr<MemoryFile> unknown(NewMemoryFile("data.zip", "?"));
  EXPECT_EQ(FileManager::AttachArchive(unknown.get(), String()), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Не найден кодек для архива [data.zip].")));
  EXPECT_EQ(FileManager::AttachResourceArchive(4242, String("None.tarc"), String()), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно найти ресурс ID[4242].")));
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Невозможно прочитать ресурс ID[4242] Имя[None.tarc].")));
  EXPECT_EQ(FileManager::LoadResource(9227, nullptr, nullptr), kInvalidArg);
}

TEST_F(VfsTest, CodecForAFileDependsOnItsOwnNameOnly) {
  ASSERT_EQ(test::LoadTestArchiveCodec(), kOk);
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  VirtualDirectory directory{String("scenes.tarc")};
  auto* upper = NewMemoryFile("Main.STR", "");
  auto* capital = NewMemoryFile("main.Str", "");
  auto* mixed = NewMemoryFile("main.sTr", "");
  auto* bare = NewMemoryFile("STR", "");
  for (MemoryFile* file : {upper, capital, mixed, bare}) directory.AddFile(file);
  Codec* scene = CodecManager::FindCodec(String("STRSceneCodec"));
  EXPECT_EQ(CodecManager::FindCodecForFile(upper), scene);
  EXPECT_EQ(CodecManager::FindCodecForFile(capital), scene);
  EXPECT_EQ(CodecManager::FindCodecForFile(mixed), nullptr);
  EXPECT_EQ(CodecManager::FindCodecForFile(bare), nullptr);  // its directory ends in .tarc
  EXPECT_EQ(scene->HandlesFile(nullptr), kInvalidArg);
}

TEST(Resources, LookupPrefersTheLocalesLanguage) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved != nullptr ? saved : "";
  const uint8_t* bytes = nullptr;
  int32_t size = 0;
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  ASSERT_TRUE(FindResource("MEDIADATA", 9239, &bytes, &size));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)),
            "\xd0\xf3\xf1\xf1\xea\xe8\xe9 \xf2\xe5\xea\xf1\xf2");
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  ASSERT_TRUE(FindResource("MEDIADATA", 9239, &bytes, &size));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)), "neutral text");
  EXPECT_FALSE(FindResource("MEDIADATA", 9240, &bytes, &size));
  EXPECT_FALSE(FindResource("BASS", 9239, &bytes, &size));
  // A table added later shadows an entry of the same language until it is
  // taken out again.
  static const uint8_t kOther[] = {'o', 't', 'h', 'e', 'r'};
  static const ResourceEntry kShadow[] = {{"MEDIADATA", 9239, kResourceNeutral, kOther, kOther + 5}};
  RegisterResources(kShadow, 1);
  ASSERT_TRUE(FindResource("MEDIADATA", 9239, &bytes, &size));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)), "other");
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  ASSERT_TRUE(FindResource("MEDIADATA", 9239, &bytes, &size));
  EXPECT_EQ(size, 13);  // the Russian entry stays first for a Russian locale
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  UnregisterResources(kShadow, 1);
  ASSERT_TRUE(FindResource("MEDIADATA", 9239, &bytes, &size));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)), "neutral text");
  if (saved != nullptr) {
    setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
}  // namespace klx

#include <fstream>
#include <iterator>

#include "core/module_manager.h"

namespace klx {
namespace {

TEST_F(VfsTest, DynamicModulesAreFoundInTheMountedTrees) {
  std::ifstream in(KLX_TEST_MODULE_PATH, std::ios::binary);
  const std::string library((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(library.empty());
  auto* plugins = new VirtualDirectory(String("Plugins.tarc"), FileManager::GetRoot());
  plugins->AddFile(NewMemoryFile("TestModule.so", library));

  Module* module = nullptr;
  ASSERT_EQ(ModuleManager::LoadModule(String("TestModule"), &module), kOk);
  using CallCounts = void (*)(int*, int*);
  CallCounts counts = nullptr;
  ASSERT_EQ(module->FindEntry(&counts, "GetCallCounts"), kOk);
  int initialized = 0, shutdown = 0;
  counts(&initialized, &shutdown);
  EXPECT_EQ(initialized, 1);
}

}  // namespace
}  // namespace klx
