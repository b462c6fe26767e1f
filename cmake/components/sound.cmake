# sound/: the track in memory, its decoder thread, the mixer and the offline mixer, the stream to the
# device and the spectrum (SDL2 audio, libvorbisfile, kissfft). Stands on platform/. With its tests, the
# generated test tracks they play, the start-up and latency benchmark and the spectrum-dump tool.
find_package(Threads REQUIRED)
quarnel_library(quarnel_sound
    SOURCES sound/sound.cpp sound/sound_spectrum.cpp sound/sound_stream.cpp
    LIBS quarnel_platform PkgConfig::SDL2 PkgConfig::VORBIS PkgConfig::KISSFFT Threads::Threads)

add_library(quarnel_test_tracks STATIC tests/support/test_tracks.cpp)
target_link_libraries(quarnel_test_tracks PUBLIC PkgConfig::VORBIS)

quarnel_test(sound_test
    SOURCES tests/sound/sound_test.cpp
    LIBS quarnel_sound quarnel_test_tracks
    LABELS unit)

if(NOT QUARNEL_LINUX)
    return()  # the PulseAudio test, the benchmark and the tool with its test are Linux's
endif()

# A real PulseAudio server, stopped and started again under a playing track.
quarnel_test(sound_device_test
    SOURCES tests/sound/sound_device_test.cpp
    LIBS quarnel_sound quarnel_test_tracks
    LABELS e2e TIMEOUT 120)

# spectrum-dump TRACK.ogg OUT.csv [--fps N]: the spectrum the show would read from a track, frame by frame.
add_executable(spectrum-dump tools/spectrum_dump.cpp)
target_link_libraries(spectrum-dump PRIVATE quarnel_sound)
set_target_properties(spectrum-dump PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})
quarnel_test(spectrum_dump_test
    SOURCES tests/tools/spectrum_dump_test.cpp
    LIBS quarnel_test_tracks
    LABELS unit)
target_compile_definitions(spectrum_dump_test PRIVATE QUARNEL_TEST_SPECTRUM_DUMP="$<TARGET_FILE:spectrum-dump>")
add_dependencies(spectrum_dump_test spectrum-dump)
