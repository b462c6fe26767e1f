# capture/: the show rendered into a video file with its sound (FFmpeg's libraries, or in a page an
# encoder that refuses with its reason), and recorded and replayed play sessions, all written through
# platform/output_file. Stands on runtime/ (the offline music, the global record) and sound/.
if(EMSCRIPTEN)
    set(QUARNEL_VIDEO_ENCODER capture/video_encoder_none.cpp)
else()
    pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
    set(QUARNEL_VIDEO_ENCODER capture/video_encoder.cpp)
endif()
quarnel_library(quarnel_capture
    SOURCES ${QUARNEL_VIDEO_ENCODER} capture/video_formats.cpp capture/session_recording.cpp capture/replay_verdict.cpp
            capture/video_capture.cpp
    LIBS quarnel_runtime quarnel_sound quarnel_platform $<TARGET_NAME_IF_EXISTS:PkgConfig::FFMPEG>)
# A recording names the program that made it.
target_compile_definitions(quarnel_capture PRIVATE QUARNEL_VERSION="${PROJECT_VERSION}")

# The recordings and the capture options of the command line.
quarnel_test(capture_test SOURCES tests/shell/capture_test.cpp LIBS quarnel_shell LABELS unit)
# Where the recordings made by the show are, for runs without the test environment variables.
target_compile_definitions(capture_test PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

if(NOT QUARNEL_LINUX)
    return()
endif()

# End-to-end: videos read back with ffprobe and ffmpeg, play recorded with xdotool and replayed.
quarnel_e2e(e2e/capture_e2e.py video_streams_sound_and_the_same_frames_twice
    video_ends_with_escape_and_with_the_close_box video_without_an_x_server
    recorded_play_replays_the_same_every_time bad_recordings_are_refused_and_a_cut_one_plays_to_its_cut
    bad_output_paths_leave_no_file a_changed_byte_leaves_the_round_at_its_frame
    what_no_session_holds_leaves_nothing a_video_ended_from_outside_leaves_nothing
    rounds_of_every_target_verify_alike)

# What a verified replay may say, and runs ended by a signal inside a day-long recorded step.
quarnel_e2e(e2e/verdict_e2e.py crafted_rounds_are_not_verified a_recording_begins_with_its_round
    every_end_signal_ends_a_long_step_within_a_second)

if(QUARNEL_FUZZ)
    # The recording reader and the file writer, compiled into the target so that they carry the
    # instrumentation. What the rest of session_recording.cpp calls comes from the libraries as they are.
    set(recording_libs quarnel_runtime)
    quarnel_fuzz_target(recording_fuzz
        SOURCES fuzz/recording_fuzz.cpp capture/session_recording.cpp capture/replay_verdict.cpp platform/output_file.cpp
                platform/input_file.cpp)
    target_link_libraries(recording_fuzz PRIVATE ${recording_libs})
    # Seed files written with the format's own writer: recording_fuzz_corpus OUT_DIR.
    add_executable(recording_fuzz_corpus fuzz/recording/make_corpus.cpp capture/session_recording.cpp capture/replay_verdict.cpp
                                         platform/output_file.cpp platform/input_file.cpp)
    target_link_libraries(recording_fuzz_corpus PRIVATE ${recording_libs})
    set_target_properties(recording_fuzz_corpus PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endif()
