#pragma once
// One playing stream: a decoder over the caller's bytes feeding a small
// queue of OpenAL buffers on one OpenAL source. Every method runs under the
// library's lock with the library's context current; the mixing thread
// calls Service to keep the queue full.

#include <AL/al.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "audio_library/sound_decoder.h"

namespace klx::audio {

// A position or direction in the caller's left-handed space (+z forward).
struct Vector3f {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

class AudioStream {
 public:
  enum class State { kStopped, kPlaying, kPaused };
  static constexpr int kBufferCount = 4;
  static constexpr int kBufferFrames = 4096;

  // Null when OpenAL has no source or buffers left. A 3-D stream is mixed
  // down to one channel, since OpenAL positions only mono sources.
  static std::unique_ptr<AudioStream> Create(std::unique_ptr<SoundDecoder> decoder, bool is3D, bool loop);
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  // Without restart: resumes a paused or stopped stream where it was and
  // leaves a playing one alone; a stream that played to its end stays there.
  void Play(bool restart);
  // Stops and drops the queued audio; a later Play resumes where the
  // listener stopped hearing it.
  void Stop();
  void Pause();
  // Refills the queue and notices the end of a stream.
  void Service();
  State GetState() {
    Service();
    return state_;
  }
  // The state as last serviced, for a device that can no longer play.
  State LastState() const { return state_; }

  bool Is3D() const { return is3D_; }
  int Rate() const { return decoder_->Rate(); }
  void SetLoop(bool loop);
  bool GetLoop() const { return loop_; }

  // Attributes; the gain also depends on the library's stream volume.
  void SetFrequency(int frequency);
  void SetVolume(int volume, float streamGain);
  void SetPan(int pan);
  int GetFrequency() const { return frequency_; }
  int GetVolume() const { return volume_; }
  int GetPan() const { return pan_; }

  // 3-D values wait in the stream until Apply3D.
  void SetPending3D(int mode, float minDistance, float maxDistance);
  void SetPendingPosition(const Vector3f& position) { position_ = position; }
  void Apply3D(float rolloffFactor);

 private:
  struct QueuedBuffer {
    ALuint buffer;
    uint64_t startFrame;  // the buffer's first frame in the sound
    int64_t frames;
  };

  AudioStream() = default;
  void Fill();
  int64_t DecodeBlock();
  void UnqueueProcessed();
  void DropQueue();
  uint64_t HeardFrame();
  void ApplyPan();

  std::unique_ptr<SoundDecoder> decoder_;
  ALuint source_ = 0;
  std::array<ALuint, kBufferCount> buffers_{};
  std::vector<ALuint> freeBuffers_;
  std::deque<QueuedBuffer> queued_;
  std::vector<int16_t> decoded_;
  std::vector<int16_t> mixed_;
  ALenum format_ = AL_FORMAT_MONO16;
  bool is3D_ = false;
  bool loop_ = false;
  State state_ = State::kStopped;
  bool decodeEnded_ = false;
  uint64_t decodePosition_ = 0;

  int frequency_ = 0;
  int volume_ = 100;
  int pan_ = 0;

  int mode_ = 0;
  float minDistance_ = 1.0f;
  float maxDistance_ = 1.0e9f;
  Vector3f position_;
};

}  // namespace klx::audio
