#include "assets/scene_codec.h"

#include <new>

#include "core/builtin_module.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "vfs/virtual_file.h"

namespace klx {

namespace {

int CreateSceneCodec(Codec** out) {
  if (out == nullptr) return kInvalidArg;
  Codec* codec = new (std::nothrow) STRSceneCodec();
  if (codec == nullptr) return kOutOfMemory;
  *out = codec;
  return kOk;
}

// Computed in 64 bits: the triple comes from the file and may be anything.
int64_t VersionValue(const Version& version) {
  return int64_t{version.major} * 10000 + int64_t{version.minor} * 100 + version.build;
}

// The scene codec for a file, or null (with the loader's warning).
SceneCodec* SceneCodecFor(VirtualFile* file) {
  Codec* codec = CodecManager::FindCodecForFile(file);
  // A codec of another kind would be handed the wrong target: treat it as
  // no codec at all.
  if (codec == nullptr || codec->GetCodecType() != kSceneCodecType) {
    LogWarning(KLX_TEXT("Не найден кодек для файла [%s]."), file->GetFullPath().CStr());
    return nullptr;
  }
  return static_cast<SceneCodec*>(codec);
}

}  // namespace

KLX_BUILTIN_CODEC_MODULE(STRSceneCodec, "STRSceneCodec", &CreateSceneCodec)

STRSceneCodec::STRSceneCodec() : SceneCodec(String("STRSceneCodec")) {
  AddExtension(String("STR"));
  AddExtension(String("str"));
  AddExtension(String("Str"));
}

int STRSceneCodec::Load(VirtualFile* file, Ref<Object>* root) {
  if (file == nullptr || root == nullptr) return kInvalidArg;
  if (file->Open(VirtualFile::kRead) != kOk) return kFailed;
  Version version;
  if (file->ReadVersion(version) != kOk || VersionValue(version) < kSceneVersionValue) {
    file->Close();
    return kFailed;
  }
  Object* loaded = nullptr;
  if (file->ReadObject(loaded) != kOk) {
    // Closing releases the stream's hold on the partly loaded graph.
    file->Close();
    return kFailed;
  }
  // Take our reference before the file lets go of what it read.
  Ref<Object> result(loaded);
  if (file->Close() != kOk) return kFailed;
  *root = std::move(result);
  return kOk;
}

int STRSceneCodec::Save(VirtualFile* file, Object* root) {
  if (file == nullptr || root == nullptr) return kFailed;
  if (file->Open(VirtualFile::kWrite) != kOk) return kFailed;
  file->WriteVersion({kEngineVersionMajor, kEngineVersionMinor, kEngineVersionBuild});
  file->WriteObject(root);
  // A failed write leaves the stream bad: report it rather than a success.
  if (file->GetError() != kOk) {
    file->Close();
    return kFailed;
  }
  return file->Close() != kOk ? kFailed : kOk;
}

int LoadScene(VirtualFile* file, Ref<Object>* root) {
  if (file == nullptr || root == nullptr) {
    LogWarning(KLX_TEXT("Указатель на файл или сцену равен 0."));
    return kInvalidArg;
  }
  SceneCodec* codec = SceneCodecFor(file);
  if (codec == nullptr) return kInvalidArg;
  if (codec->Load(file, root) == kOk) return kOk;
  LogError(KLX_TEXT("Неудачна загрузка сцены из файла [%s]."), file->GetFullPath().CStr());
  return kFailed;
}

int SaveScene(VirtualFile* file, Object* root) {
  if (file == nullptr || root == nullptr) {
    LogWarning(KLX_TEXT("Указатель на файл или сцену равен 0."));
    return kInvalidArg;
  }
  SceneCodec* codec = SceneCodecFor(file);
  if (codec == nullptr) return kInvalidArg;
  if (codec->Save(file, root) == kOk) return kOk;
  LogError(KLX_TEXT("Неудачно сохранение сцены в файл [%s]."), file->GetFullPath().CStr());
  return kFailed;
}

}  // namespace klx
