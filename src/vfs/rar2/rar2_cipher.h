#pragma once
// The RAR 2.0 block cipher: 16-byte blocks, 32 Feistel rounds over a keyed
// byte substitution, with the four round keys updated from every ciphertext
// block. A fresh cipher is set up from the key for every archive entry.

#include <cstddef>
#include <cstdint>

namespace klx::rar2 {

class Cipher20 {
 public:
  static constexpr size_t kBlockSize = 16;
  // Bytes of the key that take part; longer keys are cut.
  static constexpr size_t kMaxKeyLength = 251;

  // Sets up the substitution table and round keys from a key of `length`
  // bytes (cut to kMaxKeyLength).
  Cipher20(const char* key, size_t length);

  void EncryptBlock(uint8_t* block);
  void DecryptBlock(uint8_t* block);
  // Whole blocks only; a trailing partial block is left as it is.
  void Decrypt(uint8_t* bytes, size_t count);
  void Encrypt(uint8_t* bytes, size_t count);

 private:
  uint32_t Substitute(uint32_t value) const;
  // The 32 Feistel rounds of one block, forwards or backwards.
  void Transform(uint8_t* block, bool decrypt) const;
  void UpdateKeys(const uint8_t* ciphertext);

  uint8_t table_[256];
  uint32_t keys_[4];
};

}  // namespace klx::rar2
