#include "audio_library/sound_decoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace klx::audio {
namespace {

// ---------------------------------------------------------------------------
// Ogg Vorbis from memory

struct MemoryCursor {
  const uint8_t* bytes = nullptr;
  uint64_t size = 0;
  uint64_t position = 0;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
  auto* cursor = static_cast<MemoryCursor*>(source);
  if (size == 0) return 0;
  const uint64_t left = cursor->size - cursor->position;
  const uint64_t items = std::min<uint64_t>(count, left / size);
  std::memcpy(out, cursor->bytes + cursor->position, items * size);
  cursor->position += items * size;
  return static_cast<size_t>(items);
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* cursor = static_cast<MemoryCursor*>(source);
  int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<int64_t>(cursor->position);
  if (whence == SEEK_END) base = static_cast<int64_t>(cursor->size);
  const int64_t target = base + offset;
  if (target < 0 || static_cast<uint64_t>(target) > cursor->size) return -1;
  cursor->position = static_cast<uint64_t>(target);
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<MemoryCursor*>(source)->position); }

class VorbisDecoder : public SoundDecoder {
 public:
  ~VorbisDecoder() override {
    if (open_) ov_clear(&file_);
  }

  bool Open(const uint8_t* bytes, uint64_t size) {
    cursor_ = MemoryCursor{bytes, size, 0};
    const ov_callbacks callbacks{ReadMemory, SeekMemory, nullptr, TellMemory};
    if (ov_open_callbacks(&cursor_, &file_, nullptr, 0, callbacks) != 0) return false;
    open_ = true;
    const vorbis_info* info = ov_info(&file_, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate <= 0) return false;
    channels_ = info->channels;
    rate_ = static_cast<int>(info->rate);
    return true;
  }

  int64_t Read(int16_t* frames, int64_t maxFrames) override {
    char* out = reinterpret_cast<char*>(frames);
    const int64_t frameBytes = 2 * channels_;
    int64_t wanted = maxFrames * frameBytes;
    int64_t got = 0;
    while (got < wanted) {
      int section = 0;
      const int chunk = static_cast<int>(std::min<int64_t>(wanted - got, 1 << 16));
      const long read = ov_read(&file_, out + got, chunk, 0, 2, 1, &section);
      if (read == OV_HOLE) continue;  // a gap in the data; decoding goes on
      if (read < 0) return got > 0 ? got / frameBytes : -1;
      if (read == 0) break;
      // A chained stream may change its layout; only the first one is played.
      const vorbis_info* info = ov_info(&file_, section);
      if (info == nullptr || info->channels != channels_) break;
      got += read;
    }
    return got / frameBytes;
  }

  bool Seek(uint64_t frame) override {
    return ov_pcm_seek(&file_, static_cast<ogg_int64_t>(frame)) == 0;
  }

 private:
  MemoryCursor cursor_;
  OggVorbis_File file_{};
  bool open_ = false;
};

// ---------------------------------------------------------------------------
// RIFF wave, 16-bit PCM

uint32_t ReadLe32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

class WaveDecoder : public SoundDecoder {
 public:
  bool Open(const uint8_t* bytes, uint64_t size) {
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) return false;
    bool haveFormat = false;
    uint64_t at = 12;
    while (at + 8 <= size) {
      const uint8_t* chunk = bytes + at;
      const uint64_t length = ReadLe32(chunk + 4);
      const uint64_t body = at + 8;
      const uint64_t available = std::min<uint64_t>(length, size - body);
      if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
        const uint16_t format = ReadLe16(chunk + 8);
        channels_ = ReadLe16(chunk + 10);
        rate_ = static_cast<int>(ReadLe32(chunk + 12));
        const uint16_t bits = ReadLe16(chunk + 22);
        if (format != 1 || bits != 16 || channels_ < 1 || channels_ > 2 || rate_ <= 0 || rate_ > 384000) {
          return false;
        }
        haveFormat = true;
      } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
        samples_ = bytes + body;
        frameCount_ = available / (2u * channels_);
        return true;
      }
      at = body + length + (length & 1);
    }
    return false;
  }

  int64_t Read(int16_t* frames, int64_t maxFrames) override {
    const int64_t count = std::min<int64_t>(maxFrames, static_cast<int64_t>(frameCount_ - position_));
    if (count <= 0) return 0;
    // Little-endian samples, possibly unaligned: copy byte-wise.
    std::memcpy(frames, samples_ + position_ * 2 * channels_, static_cast<size_t>(count) * 2 * channels_);
    position_ += static_cast<uint64_t>(count);
    return count;
  }

  bool Seek(uint64_t frame) override {
    if (frame > frameCount_) return false;
    position_ = frame;
    return true;
  }

 private:
  const uint8_t* samples_ = nullptr;
  uint64_t frameCount_ = 0;
  uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<SoundDecoder> OpenSoundDecoder(const uint8_t* bytes, uint64_t size) {
  if (bytes == nullptr || size < 4) return nullptr;
  if (std::memcmp(bytes, "OggS", 4) == 0) {
    auto decoder = std::make_unique<VorbisDecoder>();
    if (decoder->Open(bytes, size)) return decoder;
    return nullptr;
  }
  auto decoder = std::make_unique<WaveDecoder>();
  if (decoder->Open(bytes, size)) return decoder;
  return nullptr;
}

}  // namespace klx::audio
