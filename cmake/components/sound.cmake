# Sound: the platform sound layer (SDL2 audio, libvorbisfile, kissfft) and the show's music on top of it,
# with their tests, the generated test tracks they play, and the start-up and latency measurement.
find_package(Threads REQUIRED)
quarnel_library(quarnel_sound
    SOURCES platform/sound.cpp platform/sound_spectrum.cpp
    LIBS PkgConfig::SDL2 PkgConfig::VORBIS PkgConfig::KISSFFT Threads::Threads quarnel_output_file)
quarnel_library(quarnel_music
    SOURCES runtime/music.cpp
    LIBS quarnel_sound quarnel_platform quarnel_runtime_basics)

add_library(quarnel_test_tracks STATIC tests/support/test_tracks.cpp)
target_link_libraries(quarnel_test_tracks PUBLIC PkgConfig::VORBIS)

quarnel_test(sound_test
    SOURCES tests/platform/sound_test.cpp
    LIBS quarnel_sound quarnel_test_tracks
    LABELS unit)
quarnel_test(music_test
    SOURCES tests/runtime/music_test.cpp
    LIBS quarnel_music quarnel_sound quarnel_platform quarnel_runtime_basics quarnel_test_tracks
    LABELS unit)

if(NOT QUARNEL_LINUX)
    return()  # the PulseAudio test, the benchmark and the tool with its test are Linux's
endif()

# A real PulseAudio server, stopped and started again under a playing track.
quarnel_test(sound_device_test
    SOURCES tests/platform/sound_device_test.cpp
    LIBS quarnel_sound quarnel_test_tracks
    LABELS e2e TIMEOUT 120)

if(QUARNEL_BENCH)
    add_executable(sound_bench bench/sound_bench.cpp)
    target_link_libraries(sound_bench PRIVATE
        "$<LINK_GROUP:RESCAN,quarnel_music;quarnel_sound;quarnel_platform;quarnel_runtime_basics>"
        quarnel_test_tracks)
endif()

# spectrum-dump TRACK.ogg OUT.csv [--fps N]: the spectrum the show would read from a track, frame by frame.
add_executable(spectrum-dump tools/spectrum_dump.cpp)
target_link_libraries(spectrum-dump PRIVATE quarnel_sound quarnel_output_file)
set_target_properties(spectrum-dump PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})
quarnel_test(spectrum_dump_test
    SOURCES tests/tools/spectrum_dump_test.cpp
    LIBS quarnel_test_tracks
    LABELS unit)
target_compile_definitions(spectrum_dump_test PRIVATE QUARNEL_TEST_SPECTRUM_DUMP="$<TARGET_FILE:spectrum-dump>")
add_dependencies(spectrum_dump_test spectrum-dump)
