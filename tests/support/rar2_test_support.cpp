#include "support/rar2_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "core/codec_manager.h"
#include "core/little_endian.h"
#include "vfs/memory_file.h"
#include "vfs/rar2/rar2_crc32.h"
#include "vfs/rar2/rar2_file_codec.h"

namespace klx::test {

std::string ReferenceRarFolder() {
  if (const char* overridden = std::getenv("KLX_REFERENCE_RAR"); overridden != nullptr) return overridden;
  const std::string folder = std::string(KLX_SOURCE_DIR) + "/../shared/testdata/rar";
  std::ifstream probe(folder + "/README.md");
  return probe ? folder : std::string();
}

Bytes ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int MountRar2(const Bytes& archive, const std::string& key, std::unique_ptr<VirtualDirectory>* tree,
              const char* name, bool permanent) {
  Codec* codec = nullptr;
  if (CodecManager::LoadCodec(String("RAR2FileCodec"), &codec) != kOk || codec == nullptr) return -1;
  MemoryFile file{String(name)};
  if (permanent) {
    // Borrowed bytes said to last for the run, as an executable's resource:
    // the members are decoded as they are read. The copy is kept until the
    // process ends, as the members point into it.
    static std::vector<std::unique_ptr<uint8_t[]>> kept;
    kept.emplace_back(new uint8_t[archive.size() + 1]);
    if (!archive.empty()) std::memcpy(kept.back().get(), archive.data(), archive.size());
    file.BorrowContent(kept.back().get(), static_cast<int32_t>(archive.size()));
    file.MarkContentPermanent();
  } else {
    auto* copy = new uint8_t[archive.size() + 1];
    if (!archive.empty()) std::memcpy(copy, archive.data(), archive.size());
    file.SetContent(copy, static_cast<int32_t>(archive.size()));
  }
  VirtualDirectory* directory = nullptr;
  const int result = static_cast<FileCodec*>(codec)->Load(&file, &directory, String(key.c_str()));
  tree->reset(directory);
  return result;
}

bool ReadMounted(VirtualDirectory* tree, const std::string& path, Bytes* content) {
  VirtualFile* file = tree->FindFile(String(path.c_str()));
  if (file == nullptr || file->Open(VirtualFile::kRead) != kOk) return false;
  content->assign(file->GetBuffer(), file->GetBuffer() + file->GetSize());
  file->Close();
  return true;
}

namespace {

// A plain SHA-256, for comparing against published digests.
class Sha256 {
 public:
  void Update(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      block_[used_++] = data[i];
      if (used_ == 64) Compress();
    }
    total_ += size;
  }
  std::string HexDigest() {
    const uint64_t bits = total_ * 8;
    const uint8_t one = 0x80;
    Update(&one, 1);
    const uint8_t zero = 0;
    while (used_ != 56) Update(&zero, 1);
    for (int i = 7; i >= 0; --i) {
      const uint8_t b = static_cast<uint8_t>(bits >> (8 * i));
      Update(&b, 1);
    }
    std::string hex;
    char digits[9];
    for (uint32_t h : state_) {
      std::snprintf(digits, sizeof(digits), "%08x", h);
      hex += digits;
    }
    return hex;
  }

 private:
  static uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
  void Compress() {
    static constexpr uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = uint32_t{block_[4 * i]} << 24 | uint32_t{block_[4 * i + 1]} << 16 |
             uint32_t{block_[4 * i + 2]} << 8 | block_[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
    used_ = 0;
  }

  uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  uint8_t block_[64] = {};
  size_t used_ = 0;
  uint64_t total_ = 0;
};

}  // namespace

std::string Sha256Hex(const Bytes& bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.HexDigest();
}

Rar2Builder::Rar2Builder(bool solid) {
  bytes_ = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  Bytes main;
  AppendLE16(main, 0);
  main.push_back(0x73);
  AppendLE16(main, solid ? 0x0008 : 0);
  AppendLE16(main, 13);
  AppendLE16(main, 0);
  AppendLE32(main, 0);
  bytes_.insert(bytes_.end(), main.begin(), main.end());
}

Rar2Builder& Rar2Builder::Add(const Entry& entry) {
  Bytes header;
  AppendLE16(header, 0);  // header CRCs are not checked on reading
  header.push_back(0x74);
  AppendLE16(header, entry.flags);
  AppendLE16(header, static_cast<uint32_t>(32 + entry.name.size()));
  AppendLE32(header, static_cast<uint32_t>(entry.data.size()));
  AppendLE32(header, entry.useUnpackedSize ? entry.unpackedSize : static_cast<uint32_t>(entry.data.size()));
  header.push_back(entry.hostSystem);
  AppendLE32(header, entry.useCrc ? entry.crc : rar2::Crc32(entry.data.data(), entry.data.size()));
  AppendLE32(header, 0);
  header.push_back(entry.version);
  header.push_back(entry.method);
  AppendLE16(header, entry.nameSizeOverride >= 0 ? static_cast<uint32_t>(entry.nameSizeOverride)
                                            : static_cast<uint32_t>(entry.name.size()));
  AppendLE32(header, entry.attributes);
  header.insert(header.end(), entry.name.begin(), entry.name.end());
  bytes_.insert(bytes_.end(), header.begin(), header.end());
  bytes_.insert(bytes_.end(), entry.data.begin(), entry.data.end());
  return *this;
}

Rar2Builder& Rar2Builder::AddStored(const std::string& name, const std::string& content) {
  Entry entry;
  entry.name = name;
  entry.data.assign(content.begin(), content.end());
  return Add(entry);
}

Rar2Builder& Rar2Builder::AddDirectory(const std::string& name) {
  Entry entry;
  entry.name = name;
  entry.flags = 0x80E0;
  entry.attributes = 0x10;
  return Add(entry);
}

Rar2Builder& Rar2Builder::AddRawBytes(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

}  // namespace klx::test
