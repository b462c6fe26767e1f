# runtime/: the frame driver (clock, mouse and music into FrameInputs, the scene's frame, the ending), the
# music with its steering and spectrum, and the shell's global record. Stands on scene/ and sound/; the
# shell hands it what it needs from above (SetFrameDriverHooks).
quarnel_library(quarnel_runtime
    SOURCES runtime/global_state.cpp runtime/frame_driver.cpp runtime/music.cpp
    LIBS quarnel_scene quarnel_sound)

quarnel_test(frame_driver_test SOURCES tests/runtime/frame_driver_test.cpp LIBS quarnel_runtime)
quarnel_test(music_test
    SOURCES tests/runtime/music_test.cpp
    LIBS quarnel_runtime quarnel_test_tracks
    LABELS unit)

if(QUARNEL_BENCH AND QUARNEL_LINUX)
    add_executable(sound_bench bench/sound_bench.cpp)
    target_link_libraries(sound_bench PRIVATE quarnel_runtime quarnel_test_tracks)
endif()
