#include "audio_library/audio_stream.h"

#include <algorithm>
#include <cmath>

#include "audio_library/audio_interface.h"

namespace klx::audio {

std::unique_ptr<AudioStream> AudioStream::Create(std::unique_ptr<SoundDecoder> decoder, bool is3D, bool loop) {
  std::unique_ptr<AudioStream> stream(new AudioStream());
  alGetError();
  alGenSources(1, &stream->source_);
  if (alGetError() != AL_NO_ERROR) return nullptr;
  alGenBuffers(kBufferCount, stream->buffers_.data());
  if (alGetError() != AL_NO_ERROR) {
    alDeleteSources(1, &stream->source_);
    return nullptr;
  }
  stream->freeBuffers_.assign(stream->buffers_.begin(), stream->buffers_.end());
  stream->is3D_ = is3D;
  stream->loop_ = loop;
  stream->frequency_ = decoder->Rate();
  const int outChannels = is3D ? 1 : decoder->Channels();
  stream->format_ = outChannels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
  stream->decoded_.resize(static_cast<size_t>(kBufferFrames) * decoder->Channels());
  if (is3D && decoder->Channels() > 1) stream->mixed_.resize(kBufferFrames);
  stream->decoder_ = std::move(decoder);

  if (!is3D) {
    // A plain stream sits on the listener and never fades with distance.
    alSourcei(stream->source_, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(stream->source_, AL_ROLLOFF_FACTOR, 0.0f);
    stream->ApplyPan();
  }
  return stream;
}

AudioStream::~AudioStream() {
  alSourceStop(source_);
  alSourcei(source_, AL_BUFFER, 0);
  alDeleteSources(1, &source_);
  alDeleteBuffers(kBufferCount, buffers_.data());
}

int64_t AudioStream::DecodeBlock() {
  int64_t got = 0;
  const int channels = decoder_->Channels();
  while (got < kBufferFrames) {
    const int64_t read = decoder_->Read(decoded_.data() + got * channels, kBufferFrames - got);
    if (read <= 0) break;
    got += read;
  }
  return got;
}

void AudioStream::Fill() {
  while (!freeBuffers_.empty() && !decodeEnded_) {
    const uint64_t start = decodePosition_;
    const int64_t frames = DecodeBlock();
    if (frames > 0) {
      const int16_t* samples = decoded_.data();
      if (!mixed_.empty()) {
        for (int64_t i = 0; i < frames; ++i) {
          mixed_[i] = static_cast<int16_t>((decoded_[2 * i] + decoded_[2 * i + 1]) / 2);
        }
        samples = mixed_.data();
      }
      const int outChannels = format_ == AL_FORMAT_MONO16 ? 1 : 2;
      const ALuint buffer = freeBuffers_.back();
      freeBuffers_.pop_back();
      alBufferData(buffer, format_, samples, static_cast<ALsizei>(frames * outChannels * 2),
                   decoder_->Rate());
      alSourceQueueBuffers(source_, 1, &buffer);
      queued_.push_back(QueuedBuffer{buffer, start, frames});
      decodePosition_ += static_cast<uint64_t>(frames);
    }
    if (frames < kBufferFrames) {
      // The end of the sound. A looping stream goes back to its start; an
      // empty one, or one that cannot seek, ends anyway so this never spins.
      const bool empty = frames == 0 && start == 0;
      if (loop_ && !empty && decoder_->Seek(0)) {
        decodePosition_ = 0;
      } else {
        decodeEnded_ = true;
      }
    }
  }
}

void AudioStream::UnqueueProcessed() {
  ALint processed = 0;
  alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
  while (processed-- > 0 && !queued_.empty()) {
    ALuint buffer = 0;
    alSourceUnqueueBuffers(source_, 1, &buffer);
    queued_.pop_front();
    freeBuffers_.push_back(buffer);
  }
}

void AudioStream::DropQueue() {
  alSourceStop(source_);
  alSourcei(source_, AL_BUFFER, 0);
  queued_.clear();
  freeBuffers_.assign(buffers_.begin(), buffers_.end());
}

uint64_t AudioStream::HeardFrame() {
  UnqueueProcessed();
  ALint offset = 0;
  alGetSourcei(source_, AL_SAMPLE_OFFSET, &offset);
  int64_t left = std::max<ALint>(offset, 0);
  for (const QueuedBuffer& entry : queued_) {
    if (left < entry.frames) return entry.startFrame + static_cast<uint64_t>(left);
    left -= entry.frames;
  }
  return decodePosition_;
}

void AudioStream::Service() {
  if (state_ != State::kPlaying) return;
  UnqueueProcessed();
  Fill();
  ALint sourceState = AL_STOPPED;
  alGetSourcei(source_, AL_SOURCE_STATE, &sourceState);
  if (sourceState != AL_PLAYING) {
    if (!queued_.empty()) {
      alSourcePlay(source_);  // the queue ran dry for a moment; carry on
    } else {
      state_ = State::kStopped;  // played to the end
    }
  }
}

void AudioStream::Play(bool restart) {
  if (restart) {
    DropQueue();
    decodeEnded_ = !decoder_->Seek(0);
    decodePosition_ = 0;
  } else if (state_ == State::kPlaying) {
    Service();
    if (state_ == State::kPlaying) return;
  } else if (state_ == State::kPaused) {
    alSourcePlay(source_);
    state_ = State::kPlaying;
    return;
  }
  Fill();
  if (queued_.empty()) {
    state_ = State::kStopped;
    return;
  }
  alSourcePlay(source_);
  state_ = State::kPlaying;
}

void AudioStream::Stop() {
  if (state_ == State::kStopped && queued_.empty()) return;
  const uint64_t heard = HeardFrame();
  DropQueue();
  if (decoder_->Seek(heard)) {
    decodePosition_ = heard;
    decodeEnded_ = false;
  }
  state_ = State::kStopped;
}

void AudioStream::Pause() {
  if (state_ != State::kPlaying) return;
  alSourcePause(source_);
  state_ = State::kPaused;
}

void AudioStream::SetLoop(bool loop) {
  loop_ = loop;
  if (loop && decodeEnded_ && decoder_->Seek(0)) {
    decodePosition_ = 0;
    decodeEnded_ = false;
  }
}

void AudioStream::SetFrequency(int frequency) {
  frequency_ = std::clamp(frequency, 100, 192000);
  alSourcef(source_, AL_PITCH, static_cast<float>(frequency_) / static_cast<float>(decoder_->Rate()));
}

void AudioStream::SetVolume(int volume, float streamGain) {
  volume_ = std::clamp(volume, 0, 100);
  alSourcef(source_, AL_GAIN, static_cast<float>(volume_) / 100.0f * streamGain);
}

void AudioStream::SetPan(int pan) {
  pan_ = std::clamp(pan, -100, 100);
  ApplyPan();
}

void AudioStream::ApplyPan() {
  if (is3D_) return;
  // A mono stream is placed on a unit circle around the listener; OpenAL
  // plays stereo buffers as they are.
  const float x = static_cast<float>(pan_) / 100.0f;
  alSource3f(source_, AL_POSITION, x, 0.0f, -std::sqrt(1.0f - x * x));
}

void AudioStream::SetPending3D(int mode, float minDistance, float maxDistance) {
  if (mode >= BASS_3DMODE_NORMAL && mode <= BASS_3DMODE_OFF) mode_ = mode;
  if (minDistance >= 0.0f) minDistance_ = minDistance;
  if (maxDistance >= 0.0f) maxDistance_ = maxDistance;
}

void AudioStream::Apply3D(float rolloffFactor) {
  if (!is3D_) return;
  // Left-handed caller space to OpenAL's right-handed space: z flips.
  if (mode_ == BASS_3DMODE_OFF) {
    alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source_, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(source_, AL_ROLLOFF_FACTOR, 0.0f);
    return;
  }
  alSourcei(source_, AL_SOURCE_RELATIVE, mode_ == BASS_3DMODE_RELATIVE ? AL_TRUE : AL_FALSE);
  alSource3f(source_, AL_POSITION, position_.x, position_.y, -position_.z);
  alSourcef(source_, AL_REFERENCE_DISTANCE, minDistance_);
  alSourcef(source_, AL_MAX_DISTANCE, std::max(maxDistance_, minDistance_));
  alSourcef(source_, AL_ROLLOFF_FACTOR, rolloffFactor);
}

}  // namespace klx::audio
