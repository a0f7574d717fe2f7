#include "vfs/rar2/rar2_file_codec.h"

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/builtin_module.h"
#include "vfs/memory_file.h"
#include "vfs/rar2/rar2_archive.h"
#include "vfs/rar2/rar2_extractor.h"
#include "vfs/rar2/rar2_member_file.h"
#include "vfs/virtual_directory.h"
#include "vfs/virtual_file.h"

namespace klx {

namespace {

// The subdirectory of `parent` with exactly this name, or null.
VirtualDirectory* FindChild(VirtualDirectory* parent, const String& name) {
  for (int32_t i = 0; i < parent->GetDirectoryCount(); ++i) {
    if (parent->GetDirectory(i)->GetName() == name) return parent->GetDirectory(i);
  }
  return nullptr;
}

// The directory a "\"-separated path names below `root`, found as the
// engine resolves paths. Directories the archive does not list are made on
// the way, so that an archive without directory entries still mounts every
// file under its path; a path that climbs out with ".." gives null.
VirtualDirectory* EnsureDirectory(VirtualDirectory* root, const std::string& path, bool* outOfMemory) {
  if (VirtualDirectory* found = root->ResolveDirectory(String(path.c_str())); found != nullptr) return found;
  VirtualDirectory* directory = root;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return nullptr;
    const String name(part.c_str());
    VirtualDirectory* child = FindChild(directory, name);
    if (child == nullptr) {
      child = new (std::nothrow) VirtualDirectory(name, directory);
      if (child == nullptr) {
        *outOfMemory = true;
        return nullptr;
      }
    }
    directory = child;
  }
  return directory;
}

// Splits at the last "\": the directory part (empty without one) and the
// last component.
void SplitName(const std::string& name, std::string* directory, std::string* last) {
  const size_t separator = name.rfind('\\');
  if (separator == std::string::npos) {
    directory->clear();
    *last = name;
  } else {
    *directory = name.substr(0, separator);
    *last = name.substr(separator + 1);
  }
}

// Makes the file for entry `index` named `name`; null when memory ran out.
using FileMaker = std::function<MemoryFile*(size_t index, const String& name)>;

// Hangs every entry into the tree under `root`. False when memory ran out.
bool BuildTree(VirtualDirectory* root, const rar2::ArchiveListing& listing, const FileMaker& makeFile,
               Module* module) {
  for (size_t i = 0; i < listing.entries.size(); ++i) {
    const rar2::ArchiveEntry& entry = listing.entries[i];
    std::string directoryPart;
    std::string last;
    SplitName(entry.name, &directoryPart, &last);
    bool outOfMemory = false;
    VirtualDirectory* parent = EnsureDirectory(root, directoryPart, &outOfMemory);
    if (outOfMemory) return false;
    // A path that leaves the archive's directory has no place in the tree.
    if (parent == nullptr) continue;
    const String name(last.c_str());

    if (entry.IsDirectory()) {
      if (FindChild(parent, name) == nullptr && new (std::nothrow) VirtualDirectory(name, parent) == nullptr)
        return false;
      continue;
    }

    MemoryFile* file = makeFile(i, name);
    if (file == nullptr) return false;
    parent->AddFile(file);
    file->SetModule(module);
  }
  return true;
}

// Files holding every entry decoded at once; an entry that failed to
// decode has no content.
FileMaker DecodedFiles(const rar2::ArchiveListing& listing, std::vector<rar2::ExtractedEntry>& results,
                       const std::vector<size_t>& resultOfEntry) {
  // How many files still share each result: the last one takes the bytes,
  // the others get copies.
  auto sharers = std::make_shared<std::vector<size_t>>(results.size(), 0);
  for (size_t i = 0; i < listing.entries.size(); ++i)
    if (!listing.entries[i].IsDirectory()) ++(*sharers)[resultOfEntry[i]];
  return [&results, &resultOfEntry, sharers](size_t index, const String& name) -> MemoryFile* {
    auto* file = new (std::nothrow) MemoryFile(name);
    if (file == nullptr) return nullptr;
    rar2::ExtractedEntry& result = results[resultOfEntry[index]];
    if (!result.ok) return file;
    if (--(*sharers)[resultOfEntry[index]] == 0) {
      file->SetContent(result.bytes.release(), static_cast<int32_t>(result.size));
    } else {
      uint8_t* copy = new (std::nothrow) uint8_t[size_t{result.size} + 1];
      if (copy == nullptr) {
        delete file;
        return nullptr;
      }
      std::copy(result.bytes.get(), result.bytes.get() + result.size, copy);
      file->SetContent(copy, static_cast<int32_t>(result.size));
    }
    return file;
  };
}

// Files that decode their entry when opened. A name that repeats in the
// archive gives the bytes of its first entry, as full extraction does.
FileMaker PackedFiles(const uint8_t* archive, const rar2::ArchiveListing& listing, const std::string& key) {
  auto firstOfKey = std::make_shared<std::vector<size_t>>(listing.entries.size());
  std::unordered_map<std::string, size_t> seen;
  for (size_t i = 0; i < listing.entries.size(); ++i)
    (*firstOfKey)[i] = seen.emplace(rar2::ExtractionKey(listing.entries[i].name), i).first->second;
  return [archive, &listing, key, firstOfKey](size_t index, const String& name) -> MemoryFile* {
    return new (std::nothrow) Rar2MemberFile(name, archive, listing.entries[(*firstOfKey)[index]], key);
  };
}

}  // namespace

int CreateRAR2FileCodec(Codec** out) {
  if (out == nullptr) return kInvalidArg;
  Codec* codec = new (std::nothrow) RAR2FileCodec();
  if (codec == nullptr) return kOutOfMemory;
  *out = codec;
  return kOk;
}

KLX_BUILTIN_CODEC_MODULE(RAR2FileCodec, "RAR2FileCodec", &CreateRAR2FileCodec)

RAR2FileCodec::RAR2FileCodec() : FileCodec(String("RAR2FileCodec")) {
  AddExtension(String("rar2"));
  AddExtension(String("RAR2"));
  AddExtension(String("Rar2"));
}

int RAR2FileCodec::Load(VirtualFile* archive, VirtualDirectory** out, const String& key) {
  if (archive == nullptr || out == nullptr) return kInvalidArg;
  // An archive already in memory is read in place; any other file is opened,
  // which reads its whole content into the file's stream.
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  auto* inMemory = dynamic_cast<MemoryFile*>(archive);
  const bool readInPlace = inMemory != nullptr && inMemory->GetContent() != nullptr && !inMemory->IsOpen();
  if (readInPlace) {
    bytes = inMemory->GetContent();
    size = static_cast<size_t>(inMemory->GetContentSize());
  } else {
    if (archive->Open(VirtualFile::kRead) != kOk) return kFailed;
    bytes = archive->GetBuffer();
    size = archive->GetSize() > 0 ? static_cast<size_t>(archive->GetSize()) : 0;
  }

  const rar2::ArchiveListing listing = rar2::ListEntries(bytes, size);
  const std::string keyText(key.CStr(), static_cast<size_t>(key.Length()));
  // Bytes that last as long as the process are decoded a member at a time
  // as the members are read, and nothing decoded stays in memory. A solid
  // archive is one stream and is decoded whole.
  const bool decodeWhenRead = readInPlace && inMemory->IsContentPermanent() && !listing.solid;
  std::vector<rar2::ExtractedEntry> results;
  std::vector<size_t> resultOfEntry;
  if (!decodeWhenRead && !rar2::ExtractAll(bytes, listing, keyText, &results, &resultOfEntry)) {
    archive->Close();
    return kOutOfMemory;
  }
  const FileMaker makeFile =
      decodeWhenRead ? PackedFiles(bytes, listing, keyText) : DecodedFiles(listing, results, resultOfEntry);

  VirtualDirectory* root = new (std::nothrow) VirtualDirectory(archive->GetName());
  if (root == nullptr || !BuildTree(root, listing, makeFile, GetModule())) {
    delete root;
    archive->Close();
    return kOutOfMemory;
  }
  if (archive->Close() != kOk) {
    delete root;
    return kFailed;
  }
  *out = root;
  return kOk;
}

int RAR2FileCodec::Save(VirtualFile*, VirtualDirectory*) { return kFailed; }

}  // namespace klx
