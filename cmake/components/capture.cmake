# Capture: the show rendered into a video file with its sound (FFmpeg libraries), and recorded and
# replayed play sessions, both written through platform/output_file (in core). The shell's message loop,
# clock and frame driver call into it, so the show needs this component.
# The browser has no encoder: its build says so when asked for a video.
if(EMSCRIPTEN)
    quarnel_library(quarnel_capture_platform
        SOURCES platform/video_encoder_none.cpp platform/sound_stream.cpp
        LIBS PkgConfig::SDL2 quarnel_output_file)
else()
    pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
    quarnel_library(quarnel_capture_platform
        SOURCES platform/video_encoder.cpp platform/sound_stream.cpp
        LIBS PkgConfig::FFMPEG PkgConfig::SDL2 quarnel_output_file)
endif()
quarnel_library(quarnel_capture
    SOURCES shell/capture_options.cpp shell/session_recording.cpp shell/video_capture.cpp
    LIBS quarnel_capture_platform)
# A recording names the program that made it.
target_compile_definitions(quarnel_capture PRIVATE QUARNEL_VERSION="${PROJECT_VERSION}")

quarnel_test(capture_test SOURCES tests/shell/capture_test.cpp LABELS unit)
# Where the recordings made by the show are, for runs without the test environment variables.
target_compile_definitions(capture_test PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

if(NOT QUARNEL_LINUX)
    return()
endif()

# End-to-end: videos read back with ffprobe and ffmpeg, play recorded with xdotool and replayed.
foreach(name video_streams_sound_and_the_same_frames_twice video_ends_with_escape_and_with_the_close_box
        video_without_an_x_server        recorded_play_replays_the_same_every_time bad_recordings_are_refused_and_a_cut_one_plays_to_its_cut
        bad_output_paths_leave_no_file a_changed_byte_leaves_the_round_at_its_frame
        what_no_session_holds_leaves_nothing a_video_ended_from_outside_leaves_nothing)
    add_test(NAME e2e.${name} COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/capture_e2e.py ${name})
    set_tests_properties(e2e.${name} PROPERTIES LABELS e2e TIMEOUT 900 RUN_SERIAL TRUE
        ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
endforeach()

if(QUARNEL_FUZZ)
    # The recording reader, compiled into the target so that it carries the instrumentation. What the rest
    # of session_recording.cpp calls comes from the libraries as they are, and the file writer from its
    # source (its library also holds the video encoder, which needs gcc).
    set(recording_libs quarnel_platform quarnel_shell_state)
    quarnel_fuzz_target(recording_fuzz
        SOURCES fuzz/recording_fuzz.cpp shell/session_recording.cpp platform/output_file.cpp
                platform/input_file.cpp)
    target_link_libraries(recording_fuzz PRIVATE "$<LINK_GROUP:RESCAN,${recording_libs}>")
    # Seed files written with the format's own writer: recording_fuzz_corpus OUT_DIR.
    add_executable(recording_fuzz_corpus fuzz/recording/make_corpus.cpp shell/session_recording.cpp
                                         platform/output_file.cpp platform/input_file.cpp)
    target_link_libraries(recording_fuzz_corpus PRIVATE "$<LINK_GROUP:RESCAN,${recording_libs}>")
    set_target_properties(recording_fuzz_corpus PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endif()
