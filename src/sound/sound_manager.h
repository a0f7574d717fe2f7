#pragma once
// The sound manager: loads the audio library that the executable carries as
// its ("BASS", 108) resource, resolves its entry points by name, checks its
// version and opens the default output device with 3-D sound. Everything
// else in the engine reaches the library through Audio().

#include <cstdint>

#include "audio_library/audio_interface.h"
#include "core/math_types.h"

namespace klx {

// The library's entry points, resolved by name when it loads.
struct AudioFunctions {
  decltype(&BASS_GetVersion) GetVersion = nullptr;
  decltype(&BASS_ErrorGetCode) ErrorGetCode = nullptr;
  decltype(&BASS_Init) Init = nullptr;
  decltype(&BASS_Free) Free = nullptr;
  decltype(&BASS_IsStarted) IsStarted = nullptr;
  decltype(&BASS_GetDevice) GetDevice = nullptr;
  decltype(&BASS_GetDeviceDescription) GetDeviceDescription = nullptr;
  decltype(&BASS_SetConfig) SetConfig = nullptr;
  decltype(&BASS_GetConfig) GetConfig = nullptr;
  decltype(&BASS_Set3DFactors) Set3DFactors = nullptr;
  decltype(&BASS_Set3DPosition) Set3DPosition = nullptr;
  decltype(&BASS_Apply3D) Apply3D = nullptr;
  decltype(&BASS_StreamCreateFile) StreamCreateFile = nullptr;
  decltype(&BASS_StreamFree) StreamFree = nullptr;
  decltype(&BASS_ChannelPlay) ChannelPlay = nullptr;
  decltype(&BASS_ChannelStop) ChannelStop = nullptr;
  decltype(&BASS_ChannelPause) ChannelPause = nullptr;
  decltype(&BASS_ChannelIsActive) ChannelIsActive = nullptr;
  decltype(&BASS_ChannelSetFlags) ChannelSetFlags = nullptr;
  decltype(&BASS_ChannelSetAttributes) ChannelSetAttributes = nullptr;
  decltype(&BASS_ChannelGetAttributes) ChannelGetAttributes = nullptr;
  decltype(&BASS_ChannelSet3DAttributes) ChannelSet3DAttributes = nullptr;
  decltype(&BASS_ChannelSet3DPosition) ChannelSet3DPosition = nullptr;
};

class SoundManager {
 public:
  static constexpr const char* kResourceType = "BASS";
  static constexpr int32_t kResourceId = 108;

  // Engine start-up and shut-down (entered into the lifecycle lists).
  static int Startup();
  static int Shutdown();
  static void RegisterLifecycleFunctions();

  // Whether the engine start opens the default output device (true unless
  // changed). Tools, which play nothing, leave it closed: no device is
  // probed and nothing about sound is reported.
  static void SetOpenDeviceAtStartup(bool open);

  // The entry points while the library is loaded, otherwise null.
  static const AudioFunctions* Audio();

  // The library's global stream volume, at most 100.
  static void SetMasterVolume(uint32_t volume);

  // Opens the default output device with 3-D sound for a window (null at
  // start-up) and logs the device, or the reason it could not be opened.
  // True when the device is open.
  static bool OpenDevice(void* window);

  // Called once a frame: notices an open device that went away and logs it
  // once. The run goes on silent; the sound calls keep succeeding.
  static void CheckDevice();

  // The listener's facing and up directions, in world space.
  static void SetListenerOrientation(const Vector3& front, const Vector3& up);
  // Where the scene is heard from (the active camera) and which way it
  // faces. 3-D sounds are placed relative to the position.
  static void SetListenerPose(const Vector3& position, const Vector3& front, const Vector3& up);
  static Vector3 GetListenerPosition();
};

}  // namespace klx
