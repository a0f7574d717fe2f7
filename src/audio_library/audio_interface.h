#pragma once
// The audio library's C interface: the entry points the engine resolves by
// name after loading the library at run time, their types and constants.
// Shared by the library (which exports them) and the engine's sound manager
// (which declares pointer types from them). Types are fixed-size so the
// layout is the same on every 64-bit Linux build.

#include <cstdint>

extern "C" {

using AUDIO_DWORD = uint32_t;
using AUDIO_QWORD = uint64_t;
using AUDIO_BOOL = int32_t;
using HSTREAM = uint32_t;

struct BASS_3DVECTOR {
  float x;
  float y;
  float z;
};

// Version word: major in the high half, minor in the low half.
inline constexpr AUDIO_DWORD kAudioLibraryVersion = 0x00020002u;

// BASS_Init flags.
inline constexpr AUDIO_DWORD BASS_DEVICE_3D = 4;

// Stream and channel flags.
inline constexpr AUDIO_DWORD BASS_SAMPLE_MONO = 2;
inline constexpr AUDIO_DWORD BASS_SAMPLE_LOOP = 4;
inline constexpr AUDIO_DWORD BASS_SAMPLE_3D = 8;

// BASS_SetConfig options.
inline constexpr AUDIO_DWORD BASS_CONFIG_GVOL_STREAM = 5;

// BASS_ChannelSet3DAttributes modes.
inline constexpr int BASS_3DMODE_NORMAL = 0;
inline constexpr int BASS_3DMODE_RELATIVE = 1;
inline constexpr int BASS_3DMODE_OFF = 2;

// BASS_ChannelIsActive results.
inline constexpr AUDIO_DWORD BASS_ACTIVE_STOPPED = 0;
inline constexpr AUDIO_DWORD BASS_ACTIVE_PLAYING = 1;
inline constexpr AUDIO_DWORD BASS_ACTIVE_PAUSED = 3;

// Error codes returned by BASS_ErrorGetCode.
inline constexpr int BASS_OK = 0;
inline constexpr int BASS_ERROR_MEM = 1;
inline constexpr int BASS_ERROR_DRIVER = 3;  // no output device could be opened
inline constexpr int BASS_ERROR_HANDLE = 5;
inline constexpr int BASS_ERROR_INIT = 8;
inline constexpr int BASS_ERROR_START = 9;
inline constexpr int BASS_ERROR_ILLTYPE = 19;
inline constexpr int BASS_ERROR_ILLPARAM = 20;
inline constexpr int BASS_ERROR_NO3D = 21;
inline constexpr int BASS_ERROR_DEVICE = 23;  // no such device number
inline constexpr int BASS_ERROR_NOTAVAIL = 37;
inline constexpr int BASS_ERROR_FILEFORM = 41;
inline constexpr int BASS_ERROR_UNKNOWN = -1;

#define KLX_AUDIO_API __attribute__((visibility("default")))

KLX_AUDIO_API AUDIO_DWORD BASS_GetVersion();
KLX_AUDIO_API int BASS_ErrorGetCode();
// device -1 is the default device, 1 the same device by number.
KLX_AUDIO_API AUDIO_BOOL BASS_Init(int device, AUDIO_DWORD freq, AUDIO_DWORD flags, void* window,
                                   const void* classId);
KLX_AUDIO_API AUDIO_BOOL BASS_Free();
// 1 while the output device plays; 0 before BASS_Init and once the device
// is lost (unplugged, its server gone), after which nothing is heard but
// every call still succeeds.
KLX_AUDIO_API AUDIO_DWORD BASS_IsStarted();
KLX_AUDIO_API AUDIO_DWORD BASS_GetDevice();
KLX_AUDIO_API const char* BASS_GetDeviceDescription(AUDIO_DWORD device);
// Returns the option's previous value, or -1 (error) for an unknown option.
KLX_AUDIO_API AUDIO_DWORD BASS_SetConfig(AUDIO_DWORD option, AUDIO_DWORD value);
KLX_AUDIO_API AUDIO_DWORD BASS_GetConfig(AUDIO_DWORD option);

// 3-D settings are held back until BASS_Apply3D. A negative factor or a null
// vector leaves that setting as it is.
KLX_AUDIO_API AUDIO_BOOL BASS_Set3DFactors(float distanceFactor, float rolloffFactor, float dopplerFactor);
KLX_AUDIO_API AUDIO_BOOL BASS_Set3DPosition(const BASS_3DVECTOR* position, const BASS_3DVECTOR* velocity,
                                            const BASS_3DVECTOR* front, const BASS_3DVECTOR* top);
KLX_AUDIO_API void BASS_Apply3D();

// Only memory streams (memory true): the caller's bytes are decoded in
// place and must stay alive until BASS_StreamFree. Ogg Vorbis and 16-bit
// PCM wave files.
KLX_AUDIO_API HSTREAM BASS_StreamCreateFile(AUDIO_BOOL memory, const void* file, AUDIO_QWORD offset,
                                            AUDIO_QWORD length, AUDIO_DWORD flags);
KLX_AUDIO_API AUDIO_BOOL BASS_StreamFree(HSTREAM stream);

KLX_AUDIO_API AUDIO_BOOL BASS_ChannelPlay(AUDIO_DWORD handle, AUDIO_BOOL restart);
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelStop(AUDIO_DWORD handle);
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelPause(AUDIO_DWORD handle);
KLX_AUDIO_API AUDIO_DWORD BASS_ChannelIsActive(AUDIO_DWORD handle);
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelSetFlags(AUDIO_DWORD handle, AUDIO_DWORD flags);
// freq -1 or 0, volume -1 and pan -101 leave that attribute unchanged.
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelSetAttributes(AUDIO_DWORD handle, int freq, int volume, int pan);
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelGetAttributes(AUDIO_DWORD handle, AUDIO_DWORD* freq, AUDIO_DWORD* volume,
                                                   int* pan);
// mode -1, a negative distance, angle -1 and outside volume -1 leave that
// attribute unchanged. Angles and outside volume are accepted and ignored.
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelSet3DAttributes(AUDIO_DWORD handle, int mode, float minDistance,
                                                     float maxDistance, int insideAngle, int outsideAngle,
                                                     int outsideVolume);
KLX_AUDIO_API AUDIO_BOOL BASS_ChannelSet3DPosition(AUDIO_DWORD handle, const BASS_3DVECTOR* position,
                                                   const BASS_3DVECTOR* orientation,
                                                   const BASS_3DVECTOR* velocity);

}  // extern "C"
