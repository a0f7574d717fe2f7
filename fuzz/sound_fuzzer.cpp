// The audio library's sound decoders (Ogg Vorbis, PCM wave) over untrusted
// bytes: open, decode to the end, seek back and decode again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio_library/sound_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<klx::audio::SoundDecoder> decoder = klx::audio::OpenSoundDecoder(data, size);
  if (!decoder) return 0;
  std::vector<int16_t> frames(4096 * static_cast<size_t>(decoder->Channels()));
  // Enough for any input the fuzzer makes, bounded for huge claimed lengths.
  int64_t total = 0;
  for (int blocks = 0; blocks < 256; ++blocks) {
    const int64_t read = decoder->Read(frames.data(), 4096);
    if (read <= 0) break;
    total += read;
  }
  if (decoder->Seek(static_cast<uint64_t>(total / 2))) decoder->Read(frames.data(), 4096);
  if (decoder->Seek(0)) decoder->Read(frames.data(), 4096);
  return 0;
}
