# klx_embed_audio_library(<target>)
#
# Links the audio library into <target> as the ("BASS", 108) resource. Every
# executable that starts the engine carries it, since the sound manager
# loads it from there.
function(klx_embed_audio_library target)
  add_dependencies(${target} klx_audio)
  klx_add_resource(${target} TYPE BASS ID 108 FILE ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/libklxaudio.so)
endfunction()
