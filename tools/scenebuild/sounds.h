#pragma once
// The scene's sounds, synthesised. Every looping sound is rendered on a
// circle (whatever rings past the end is added to the beginning), so it
// loops without a seam.

#include "ogg_encoder.h"

namespace klx::scenebuild {

// Two minutes of slow evening music in stereo: sixteen chords of eight seconds
// with pads, a bass and a plucked melody.
content::SoundSamples SynthesizeMusic();
// The car's engine hum, mono, a loop of four seconds.
content::SoundSamples SynthesizeEngineHum();
// A campfire's crackle, mono, a loop of six seconds.
content::SoundSamples SynthesizeFire();
// Small waves on the shore, mono, a loop of eight seconds.
content::SoundSamples SynthesizeWaves();
// Two bird calls: three quick chirps, and a trill.
content::SoundSamples SynthesizeChirps();
content::SoundSamples SynthesizeTrill();

}  // namespace klx::scenebuild
