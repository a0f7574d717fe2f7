#pragma once
// Decoders that read 16-bit PCM frames out of a sound file held in the
// caller's memory: Ogg Vorbis (libvorbisfile) and RIFF wave with 16-bit PCM.
// The bytes are never copied; they must outlive the decoder.

#include <cstdint>
#include <memory>

namespace klx::audio {

class SoundDecoder {
 public:
  virtual ~SoundDecoder() = default;
  int Channels() const { return channels_; }
  int Rate() const { return rate_; }
  // Reads up to maxFrames interleaved frames; the count read, 0 at the end
  // of the sound, negative on a decoding error.
  virtual int64_t Read(int16_t* frames, int64_t maxFrames) = 0;
  // Moves to a frame counted from the start; false when that fails.
  virtual bool Seek(uint64_t frame) = 0;

 protected:
  int channels_ = 0;
  int rate_ = 0;
};

// A decoder for the bytes, or null when they are neither Ogg Vorbis nor a
// 16-bit PCM wave file with one or two channels.
std::unique_ptr<SoundDecoder> OpenSoundDecoder(const uint8_t* bytes, uint64_t size);

}  // namespace klx::audio
