// The audio library's exported entry points over OpenAL Soft. One output
// device per process; every entry point takes the library's lock, and a
// mixing thread keeps the playing streams' buffer queues full.

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "audio_library/audio_interface.h"
#include "audio_library/audio_stream.h"

namespace klx::audio {
namespace {

constexpr auto kServiceInterval = std::chrono::milliseconds(15);

struct Library {
  std::mutex mutex;
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  bool initialized = false;
  bool with3D = false;
  // The output went away (a headset unplugged, a sound server gone): the
  // streams stay as the caller left them, and nothing more is mixed.
  bool canTellLoss = false;
  bool lost = false;
  std::string description;
  std::string defaultDescription;

  std::unordered_map<HSTREAM, std::unique_ptr<AudioStream>> streams;
  HSTREAM nextHandle = 1;
  AUDIO_DWORD streamVolume = 100;

  // 3-D settings: pending until BASS_Apply3D.
  float distanceFactor = 1.0f;
  float rolloffFactor = 1.0f;
  float dopplerFactor = 1.0f;
  Vector3f listenerPosition;
  Vector3f listenerVelocity;
  Vector3f listenerFront{0.0f, 0.0f, 1.0f};
  Vector3f listenerTop{0.0f, 1.0f, 0.0f};

  std::thread mixer;
  std::condition_variable wake;
  bool quit = false;

  // Runs when the library is unloaded or the process ends. The engine
  // frees the device first; a process that ends without doing so must not
  // leave the mixing thread running in unloaded code.
  ~Library() {
    if (!mixer.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      quit = true;
    }
    wake.notify_all();
    mixer.join();
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

// The last call's error. One for the process rather than one per thread:
// the engine calls from its main thread only, and thread-local storage in a
// library that is unloaded again confuses leak checkers.
std::atomic<int> lastError{BASS_OK};

AUDIO_BOOL Fail(int code) {
  lastError = code;
  return 0;
}

AUDIO_BOOL Succeed() {
  lastError = BASS_OK;
  return 1;
}

float StreamGain(const Library& library) { return static_cast<float>(library.streamVolume) / 100.0f; }

AudioStream* FindStream(Library& library, AUDIO_DWORD handle) {
  if (!library.initialized) {
    lastError = BASS_ERROR_INIT;
    return nullptr;
  }
  const auto found = library.streams.find(handle);
  if (found == library.streams.end()) {
    lastError = BASS_ERROR_HANDLE;
    return nullptr;
  }
  return found->second.get();
}

bool DeviceConnected(const Library& library) {
  if (!library.canTellLoss) return true;
  ALCint connected = ALC_TRUE;
  alcGetIntegerv(library.device, ALC_CONNECTED, 1, &connected);
  return connected != ALC_FALSE;
}

void MixerLoop(Library* library) {
  std::unique_lock<std::mutex> lock(library->mutex);
  while (!library->quit) {
    // Nothing is left to mix for a lost device: the thread only waits to end.
    const auto interval = library->lost ? std::chrono::milliseconds(1000) : kServiceInterval;
    library->wake.wait_for(lock, interval, [library] { return library->quit; });
    if (library->quit) break;
    if (library->lost) continue;
    // A lost device stops every source and refuses to play them again;
    // refilling them would only decode the streams at full speed.
    if (!DeviceConnected(*library)) {
      library->lost = true;
      continue;
    }
    for (auto& [handle, stream] : library->streams) stream->Service();
  }
}

void ApplyListener(const Library& library) {
  // Left-handed caller space to OpenAL's right-handed space: z flips.
  const Vector3f& f = library.listenerFront;
  const Vector3f& t = library.listenerTop;
  const float orientation[6] = {f.x, f.y, -f.z, t.x, t.y, -t.z};
  alListenerfv(AL_ORIENTATION, orientation);
  alListener3f(AL_POSITION, library.listenerPosition.x, library.listenerPosition.y, -library.listenerPosition.z);
  alListener3f(AL_VELOCITY, library.listenerVelocity.x, library.listenerVelocity.y, -library.listenerVelocity.z);
  alDopplerFactor(library.dopplerFactor);
  alSpeedOfSound(343.3f / library.distanceFactor);
}

Vector3f ToVector(const BASS_3DVECTOR& v) { return Vector3f{v.x, v.y, v.z}; }

}  // namespace
}  // namespace klx::audio

using klx::audio::AudioStream;
using klx::audio::Fail;
using klx::audio::FindStream;
using klx::audio::Library;
using klx::audio::StreamGain;
using klx::audio::Succeed;
using klx::audio::TheLibrary;

extern "C" {

AUDIO_DWORD BASS_GetVersion() { return kAudioLibraryVersion; }

int BASS_ErrorGetCode() { return klx::audio::lastError; }

AUDIO_BOOL BASS_Init(int device, AUDIO_DWORD freq, AUDIO_DWORD flags, void* /*window*/, const void* /*classId*/) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (device != -1 && device != 1) return Fail(BASS_ERROR_DEVICE);
  // The device is already open: a second start with a window (the
  // application's) keeps it as it is. There is no window to attach here.
  if (library.initialized) return Succeed();
  // The engine loads and unloads this library at every start; OpenAL Soft
  // itself stays, since it keeps process-wide state (thread keys and their
  // destructors) that must outlive any unload.
  static void* const pinned = dlopen("libopenal.so.1", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  (void)pinned;

  ALCdevice* alDevice = alcOpenDevice(nullptr);
  if (alDevice == nullptr) return Fail(BASS_ERROR_DRIVER);
  const ALCint attributes[] = {ALC_FREQUENCY, static_cast<ALCint>(freq != 0 ? freq : 44100), 0};
  ALCcontext* context = alcCreateContext(alDevice, attributes);
  if (context == nullptr || alcMakeContextCurrent(context) != ALC_TRUE) {
    if (context != nullptr) alcDestroyContext(context);
    alcCloseDevice(alDevice);
    return Fail(BASS_ERROR_DRIVER);
  }
  library.device = alDevice;
  library.context = context;
  library.initialized = true;
  library.with3D = (flags & BASS_DEVICE_3D) != 0;
  library.canTellLoss = alcIsExtensionPresent(alDevice, "ALC_EXT_disconnect") == ALC_TRUE;
  library.lost = false;
  const ALCchar* name = alcGetString(alDevice, ALC_DEVICE_SPECIFIER);
  library.description = name != nullptr ? name : "OpenAL";
  library.distanceFactor = library.rolloffFactor = library.dopplerFactor = 1.0f;
  library.listenerPosition = library.listenerVelocity = klx::audio::Vector3f{};
  library.listenerFront = {0.0f, 0.0f, 1.0f};
  library.listenerTop = {0.0f, 1.0f, 0.0f};
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  ApplyListener(library);
  library.quit = false;
  library.mixer = std::thread(klx::audio::MixerLoop, &library);
  return Succeed();
}

AUDIO_BOOL BASS_Free() {
  Library& library = TheLibrary();
  std::thread mixer;
  {
    std::lock_guard<std::mutex> lock(library.mutex);
    if (!library.initialized) return Fail(BASS_ERROR_INIT);
    library.quit = true;
    mixer = std::move(library.mixer);
  }
  library.wake.notify_all();
  if (mixer.joinable()) mixer.join();
  std::lock_guard<std::mutex> lock(library.mutex);
  library.streams.clear();
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(library.context);
  alcCloseDevice(library.device);
  library.context = nullptr;
  library.device = nullptr;
  library.initialized = false;
  return Succeed();
}

AUDIO_DWORD BASS_IsStarted() {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (!library.initialized) {
    Fail(BASS_ERROR_INIT);
    return 0;
  }
  if (!library.lost && !DeviceConnected(library)) library.lost = true;
  Succeed();
  return library.lost ? 0 : 1;
}

AUDIO_DWORD BASS_GetDevice() {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (!library.initialized) {
    Fail(BASS_ERROR_INIT);
    return static_cast<AUDIO_DWORD>(-1);
  }
  Succeed();
  return 1;
}

const char* BASS_GetDeviceDescription(AUDIO_DWORD device) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (device == 0) {
    Succeed();
    return "No sound";
  }
  if (device != 1 && device != static_cast<AUDIO_DWORD>(-1)) {
    Fail(BASS_ERROR_DEVICE);
    return nullptr;
  }
  if (library.initialized) {
    Succeed();
    return library.description.c_str();
  }
  const ALCchar* name = alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER);
  if (name == nullptr) {
    Fail(BASS_ERROR_DEVICE);
    return nullptr;
  }
  library.defaultDescription = name;
  Succeed();
  return library.defaultDescription.c_str();
}

AUDIO_DWORD BASS_SetConfig(AUDIO_DWORD option, AUDIO_DWORD value) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (option != BASS_CONFIG_GVOL_STREAM) {
    Fail(BASS_ERROR_ILLTYPE);
    return static_cast<AUDIO_DWORD>(-1);
  }
  const AUDIO_DWORD previous = library.streamVolume;
  library.streamVolume = value > 100 ? 100 : value;
  if (library.initialized) {
    for (auto& [handle, stream] : library.streams) stream->SetVolume(stream->GetVolume(), StreamGain(library));
  }
  Succeed();
  return previous;
}

AUDIO_DWORD BASS_GetConfig(AUDIO_DWORD option) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (option != BASS_CONFIG_GVOL_STREAM) {
    Fail(BASS_ERROR_ILLTYPE);
    return static_cast<AUDIO_DWORD>(-1);
  }
  Succeed();
  return library.streamVolume;
}

AUDIO_BOOL BASS_Set3DFactors(float distanceFactor, float rolloffFactor, float dopplerFactor) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (!library.initialized) return Fail(BASS_ERROR_INIT);
  if (!library.with3D) return Fail(BASS_ERROR_NO3D);
  if (distanceFactor > 0.0f) library.distanceFactor = distanceFactor;
  if (rolloffFactor >= 0.0f) library.rolloffFactor = rolloffFactor > 10.0f ? 10.0f : rolloffFactor;
  if (dopplerFactor >= 0.0f) library.dopplerFactor = dopplerFactor > 10.0f ? 10.0f : dopplerFactor;
  return Succeed();
}

AUDIO_BOOL BASS_Set3DPosition(const BASS_3DVECTOR* position, const BASS_3DVECTOR* velocity,
                              const BASS_3DVECTOR* front, const BASS_3DVECTOR* top) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (!library.initialized) return Fail(BASS_ERROR_INIT);
  if (!library.with3D) return Fail(BASS_ERROR_NO3D);
  if (position != nullptr) library.listenerPosition = klx::audio::ToVector(*position);
  if (velocity != nullptr) library.listenerVelocity = klx::audio::ToVector(*velocity);
  // Front and top only together, as an orientation needs both.
  if (front != nullptr && top != nullptr) {
    library.listenerFront = klx::audio::ToVector(*front);
    library.listenerTop = klx::audio::ToVector(*top);
  }
  return Succeed();
}

void BASS_Apply3D() {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (!library.initialized || !library.with3D) return;
  klx::audio::ApplyListener(library);
  for (auto& [handle, stream] : library.streams) stream->Apply3D(library.rolloffFactor);
}

HSTREAM BASS_StreamCreateFile(AUDIO_BOOL memory, const void* file, AUDIO_QWORD offset, AUDIO_QWORD length,
                              AUDIO_DWORD flags) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (!library.initialized) return Fail(BASS_ERROR_INIT);
  if (!memory) return Fail(BASS_ERROR_NOTAVAIL);
  if (file == nullptr || length == 0) return Fail(BASS_ERROR_ILLPARAM);
  const bool is3D = (flags & BASS_SAMPLE_3D) != 0;
  if (is3D && !library.with3D) return Fail(BASS_ERROR_NO3D);
  const auto* bytes = static_cast<const uint8_t*>(file) + offset;
  std::unique_ptr<klx::audio::SoundDecoder> decoder = klx::audio::OpenSoundDecoder(bytes, length);
  if (!decoder) return Fail(BASS_ERROR_FILEFORM);
  std::unique_ptr<AudioStream> stream =
      AudioStream::Create(std::move(decoder), is3D, (flags & BASS_SAMPLE_LOOP) != 0);
  if (!stream) return Fail(BASS_ERROR_MEM);
  stream->SetVolume(100, StreamGain(library));
  if (is3D) stream->Apply3D(library.rolloffFactor);
  HSTREAM handle = library.nextHandle++;
  if (library.nextHandle == 0) library.nextHandle = 1;
  library.streams.emplace(handle, std::move(stream));
  Succeed();
  return handle;
}

AUDIO_BOOL BASS_StreamFree(HSTREAM handle) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  if (FindStream(library, handle) == nullptr) return 0;
  library.streams.erase(handle);
  return Succeed();
}

AUDIO_BOOL BASS_ChannelPlay(AUDIO_DWORD handle, AUDIO_BOOL restart) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  if (!library.lost) stream->Play(restart != 0);
  return Succeed();
}

AUDIO_BOOL BASS_ChannelStop(AUDIO_DWORD handle) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  stream->Stop();
  return Succeed();
}

AUDIO_BOOL BASS_ChannelPause(AUDIO_DWORD handle) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  stream->Pause();
  return Succeed();
}

AUDIO_DWORD BASS_ChannelIsActive(AUDIO_DWORD handle) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return BASS_ACTIVE_STOPPED;
  Succeed();
  switch (library.lost ? stream->LastState() : stream->GetState()) {
    case AudioStream::State::kPlaying:
      return BASS_ACTIVE_PLAYING;
    case AudioStream::State::kPaused:
      return BASS_ACTIVE_PAUSED;
    case AudioStream::State::kStopped:
      break;
  }
  return BASS_ACTIVE_STOPPED;
}

AUDIO_BOOL BASS_ChannelSetFlags(AUDIO_DWORD handle, AUDIO_DWORD flags) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  stream->SetLoop((flags & BASS_SAMPLE_LOOP) != 0);
  return Succeed();
}

AUDIO_BOOL BASS_ChannelSetAttributes(AUDIO_DWORD handle, int freq, int volume, int pan) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  if (freq > 0) stream->SetFrequency(freq);
  if (volume >= 0) stream->SetVolume(volume, StreamGain(library));
  if (pan >= -100 && pan <= 100) stream->SetPan(pan);
  return Succeed();
}

AUDIO_BOOL BASS_ChannelGetAttributes(AUDIO_DWORD handle, AUDIO_DWORD* freq, AUDIO_DWORD* volume, int* pan) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  if (freq != nullptr) *freq = static_cast<AUDIO_DWORD>(stream->GetFrequency());
  if (volume != nullptr) *volume = static_cast<AUDIO_DWORD>(stream->GetVolume());
  if (pan != nullptr) *pan = stream->GetPan();
  return Succeed();
}

AUDIO_BOOL BASS_ChannelSet3DAttributes(AUDIO_DWORD handle, int mode, float minDistance, float maxDistance,
                                       int /*insideAngle*/, int /*outsideAngle*/, int /*outsideVolume*/) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  if (!stream->Is3D()) return Fail(BASS_ERROR_NO3D);
  if (mode < -1 || mode > BASS_3DMODE_OFF) return Fail(BASS_ERROR_ILLPARAM);
  stream->SetPending3D(mode, minDistance, maxDistance);
  return Succeed();
}

AUDIO_BOOL BASS_ChannelSet3DPosition(AUDIO_DWORD handle, const BASS_3DVECTOR* position,
                                     const BASS_3DVECTOR* /*orientation*/, const BASS_3DVECTOR* /*velocity*/) {
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.mutex);
  AudioStream* stream = FindStream(library, handle);
  if (stream == nullptr) return 0;
  if (!stream->Is3D()) return Fail(BASS_ERROR_NO3D);
  if (position != nullptr) stream->SetPendingPosition(klx::audio::ToVector(*position));
  return Succeed();
}

}  // extern "C"
