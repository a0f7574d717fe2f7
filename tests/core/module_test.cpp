#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/builtin_module.h"
#include "core/codec_manager.h"
#include "core/module_manager.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using ModuleTest = test::EngineTest;

int g_codecsCreated = 0;

class TestImageCodec : public ImageCodec {
 public:
  TestImageCodec() : ImageCodec(String("TESTImageCodec")) {
    AddExtension(String("JPG"));
    AddExtension(String("jpg"));
    AddExtension(String("JPEG"));
    AddExtension(String("jpeg"));
  }
  int Load(VirtualFile*, Image*) override { return kFailed; }
  int Save(VirtualFile*, Image*) override { return kFailed; }
};

int CreateTestCodec(Codec** out) {
  ++g_codecsCreated;
  *out = new TestImageCodec;
  return 0;
}

int FailToCreateCodec(Codec**) { return 2; }

// Registered like a codec module of the engine: from static initialisation
// into the post-initialization list.
KLX_BUILTIN_CODEC_MODULE(TestImage, "TESTImageCodec", &CreateTestCodec)
KLX_BUILTIN_CODEC_MODULE(TestBroken, "TESTBrokenCodec", &FailToCreateCodec)

TEST_F(ModuleTest, BuiltinModulesRegisterAtPostInitialization) {
  Module* module = ModuleManager::FindModule(String("TESTImageCodec"));
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->GetRefCount(), 1);  // the table's reference
  InitializeEntry initialize = nullptr;
  ASSERT_EQ(module->FindEntry(&initialize, "Initialize"), kOk);
  EXPECT_EQ(initialize(), 0);
  CreateCodecEntry create = nullptr;
  EXPECT_EQ(module->FindEntry(&create, "CreateCodec"), kOk);
  EXPECT_EQ(module->FindEntry(&create, "CreateRenderer"), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Невозможно найти символ [CreateRenderer] в модуле [TESTImageCodec].")));
  EXPECT_EQ(module->FindSymbol(nullptr, String("Shutdown")), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Указатель на символ [Shutdown] равен 0.")));
}

TEST_F(ModuleTest, RegisteringASecondModuleOfTheSameNameFails) {
  Module* first = ModuleManager::FindModule(String("TESTImageCodec"));
  Ref<StaticModule> second(new StaticModule(String("TESTImageCodec")));
  second->AddSymbol(String("Shutdown"), reinterpret_cast<ModuleSymbol>(+[]() { return 0; }));
  EXPECT_EQ(ModuleManager::RegisterModule(second.Get()), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Модуль с именем [TESTImageCodec] уже зарегестрирован.")));
  EXPECT_EQ(ModuleManager::FindModule(String("TESTImageCodec")), first);
  EXPECT_EQ(ModuleManager::RegisterModule(nullptr), kInvalidArg);
}

TEST_F(ModuleTest, LoadingARegisteredModuleTouchesNothing) {
  static int finderCalls = 0;
  ModuleManager::SetLibraryFinder([](const String&, std::vector<uint8_t>*) {
    ++finderCalls;
    return false;
  });
  Module* module = nullptr;
  log_->lines.clear();
  EXPECT_EQ(ModuleManager::LoadModule(String("TESTImageCodec"), &module), kOk);
  EXPECT_EQ(module, ModuleManager::FindModule(String("TESTImageCodec")));
  EXPECT_EQ(finderCalls, 0);
  EXPECT_TRUE(log_->lines.empty());

  EXPECT_EQ(ModuleManager::LoadModule(String("Missing"), &module), kInvalidArg);
  EXPECT_EQ(finderCalls, 1);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Не найден файл модуля [Missing.so].")));
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно загрузить модуль [Missing].")));
  ModuleManager::SetLibraryFinder(nullptr);
}

std::vector<uint8_t> g_libraryBytes;

bool FindTestLibrary(const String& fileName, std::vector<uint8_t>* bytes) {
  if (fileName != "TestModule.so" && fileName != "TestModuleNoInit.so") return false;
  std::string path = KLX_TEST_MODULE_PATH;
  if (fileName == "TestModuleNoInit.so") path.replace(path.rfind("TestModule"), 10, "TestModuleNoInit");
  std::ifstream in(path, std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !bytes->empty();
}

using CallCountsEntry = void (*)(int*, int*);

TEST_F(ModuleTest, DynamicModulesLoadFromMemoryAndRunTheirEntries) {
  ModuleManager::SetLibraryFinder(&FindTestLibrary);
  Module* module = nullptr;
  ASSERT_EQ(ModuleManager::LoadModule(String("TestModule"), &module), kOk);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->GetName(), "TestModule");
  CallCountsEntry counts = nullptr;
  ASSERT_EQ(module->FindEntry(&counts, "GetCallCounts"), kOk);
  int initialized = 0, shutdown = 0;
  counts(&initialized, &shutdown);
  EXPECT_EQ(initialized, 1);
  EXPECT_EQ(shutdown, 0);

  // Loading again finds the registered module: no second "Initialize".
  ASSERT_EQ(ModuleManager::LoadModule(String("TestModule"), nullptr), kOk);
  counts(&initialized, &shutdown);
  EXPECT_EQ(initialized, 1);
  EXPECT_EQ(module->FindEntry(&counts, "NoSuchEntry"), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Символ [NoSuchEntry] не найден в модуле [TestModule].")));

  // A module without "Initialize" still loads, with a warning.
  ASSERT_EQ(ModuleManager::LoadModule(String("TestModuleNoInit"), nullptr), kOk);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("В модуле не найдена функция инициализации модуля [TestModuleNoInit].")));
  ModuleManager::SetLibraryFinder(nullptr);
}

TEST(DynamicModule, DestructionRunsShutdownAndUnloads) {
  test::ScopedLogCapture log;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(FindTestLibrary(String("TestModule.so"), &bytes));
  Ref<DynamicModule> module(new DynamicModule(String("TestModule")));
  ASSERT_EQ(module->LoadFromMemory(bytes.data(), bytes.size()), kOk);
  EXPECT_TRUE(module->IsLoaded());
  module = nullptr;
  EXPECT_TRUE(log->Has(kLogInfo, test::Text("Выгружается модуль [TestModule].")));
  EXPECT_FALSE(log->Has(kLogWarning, test::Text("В модуле не найдена функция завершения работы модуля [TestModule].")));

  Ref<DynamicModule> broken(new DynamicModule(String("Broken")));
  const uint8_t garbage[] = {'n', 'o', 't', ' ', 'e', 'l', 'f'};
  EXPECT_EQ(broken->LoadFromMemory(garbage, sizeof(garbage)), kFailed);
  EXPECT_FALSE(broken->IsLoaded());
  EXPECT_EQ(broken->Unload(), kInvalidArg);
}

TEST_F(ModuleTest, CodecsComeFromTheirModules) {
  g_codecsCreated = 0;
  Codec* codec = nullptr;
  ASSERT_EQ(CodecManager::LoadCodec(String("TESTImageCodec"), &codec), kOk);
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->GetCodecType(), kImageCodecType);
  EXPECT_EQ(codec->GetModule(), ModuleManager::FindModule(String("TESTImageCodec")));
  EXPECT_EQ(codec->GetModule()->GetRefCount(), 2);  // the table and the codec
  ASSERT_EQ(CodecManager::LoadCodec(String("TESTImageCodec"), nullptr), kOk);
  EXPECT_EQ(g_codecsCreated, 1);

  EXPECT_EQ(CodecManager::LoadCodec(String("TESTBrokenCodec"), nullptr), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Создание кодека [TESTBrokenCodec] неудачно.")));
  EXPECT_EQ(CodecManager::LoadCodec(String("NotLoadedCodec"), nullptr), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Не найден модуль для кодека [NotLoadedCodec].")));
  EXPECT_EQ(CodecManager::FindCodec(String("NotLoadedCodec")), nullptr);

  Ref<ImageCodec> duplicate(new TestImageCodec);
  EXPECT_EQ(CodecManager::RegisterCodec(duplicate.Get()), kFailed);
  EXPECT_EQ(CodecManager::FindCodec(String("TESTImageCodec")), codec);
}

TEST_F(ModuleTest, CodecIsChosenByTheExactExtensionOfTheFileName) {
  Codec* codec = nullptr;
  ASSERT_EQ(CodecManager::LoadCodec(String("TESTImageCodec"), &codec), kOk);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("loader.jpg")), codec);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("photo.JPEG")), codec);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("Data/pic.tar.jpeg")), codec);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("photo.jPg")), nullptr);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("jpg")), nullptr);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("dir.jpg/readme")), nullptr);
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("dir.jpg\\readme")), nullptr);
  EXPECT_EQ(FileNameExtension(String("a.b/c.tga")), "tga");
  EXPECT_EQ(FileNameExtension(String("name.")), "");
}

TEST(CodecManager, ShutdownReleasesCodecsAndTheirModules) {
  test::ScopedLogCapture log;
  ASSERT_EQ(EngineStart(), 0);
  ASSERT_EQ(CodecManager::LoadCodec(String("TESTImageCodec"), nullptr), kOk);
  ASSERT_EQ(EngineStop(), 0);
  EXPECT_FALSE(CodecManager::IsStarted());
  EXPECT_FALSE(ModuleManager::IsStarted());
  EXPECT_EQ(CodecManager::FindCodecForFileName(String("a.jpg")), nullptr);
  EXPECT_TRUE(log->Has(kLogInfo, test::Text("Менеджер кодеков завершил работу.")));
}

}  // namespace
}  // namespace klx
