# shell/: the program's entry and command line, the setup dialog's procedure, the main window and its
# procedure, the clock and title, start-up, the message loop and automation. Stands on every folder below.
# Then the show itself: shell/main.cpp with the system's entry point (platform/<system>/entry.cpp).
quarnel_library(quarnel_shell
    SOURCES shell/clock.cpp shell/window_proc.cpp shell/main_window.cpp shell/start_up.cpp
            shell/command_line.cpp shell/capture_options.cpp shell/automation.cpp shell/program_entry.cpp
            shell/data_folder.cpp shell/setup_dialog.cpp shell/verify_run.cpp
    LIBS quarnel_capture quarnel_runtime)

add_executable(quarnel shell/main.cpp ${QUARNEL_PLATFORM_ENTRY})
target_link_libraries(quarnel PRIVATE quarnel_shell)
set_target_properties(quarnel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_SHOW_DIR})
# --version prints the project's version, the one the package carries.
target_compile_definitions(quarnel PRIVATE QUARNEL_VERSION="${PROJECT_VERSION}")
get_property(QUARNEL_DATA GLOBAL PROPERTY QUARNEL_SHOW_DATA)
if(QUARNEL_DATA)
    add_dependencies(quarnel ${QUARNEL_DATA})
endif()
if(EMSCRIPTEN)
    quarnel_web_page(quarnel)
endif()

quarnel_test(shell_test SOURCES tests/shell/shell_test.cpp LIBS quarnel_shell)
quarnel_test(data_folder_test SOURCES tests/shell/data_folder_test.cpp LIBS quarnel_shell)
# A recorded round's steps without a window: the committed rounds and sessions, each in a child process.
quarnel_test(verify_run_test SOURCES tests/shell/verify_run_test.cpp LIBS quarnel_shell LABELS unit)
target_compile_definitions(verify_run_test PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
quarnel_test(setup_dialog_tests
    SOURCES tests/shell/setup_dialog_test.cpp
    LIBS quarnel_shell
    LABELS unit)
if(QUARNEL_LINUX)
    # The real dialog, driven with xdotool on an X display of its own.
    add_executable(dialog_harness tests/shell/dialog_harness.cpp)
    target_link_libraries(dialog_harness PRIVATE quarnel_shell)
    add_test(NAME setup_dialog_e2e
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/support/on_own_display.py
                python3 ${CMAKE_SOURCE_DIR}/tests/shell/setup_dialog_e2e.py $<TARGET_FILE:dialog_harness>)
    set_tests_properties(setup_dialog_e2e PROPERTIES
        LABELS e2e TIMEOUT 300 ENVIRONMENT "SDL_AUDIODRIVER=dummy;LC_ALL=C")
endif()

if(WIN32)
    # The system enters at WinMain, an object of the executable's own, so that no library's can stand in.
    target_link_options(quarnel PRIVATE -mwindows)
    target_link_libraries(quarnel PRIVATE shell32)
    include(cmake/windows_program.cmake)
    # quarnel.exe under Wine: the picture guard's frames, music, the command line and a video.
    if(QUARNEL_WINDOWS_TESTS)
        foreach(name help_and_a_bad_option frames_equal_the_linux_references
                music_plays_through_a_pulseaudio_null_sink video_to_mp4 the_prefix_keeps_the_user_folders_inside
                escape_leaves_the_clipboard_without_a_capture a_folder_named_outside_ascii
                rounds_of_every_target_verify_alike)
            add_test(NAME windows.${name} COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/windows/windows_e2e.py ${name})
            set_tests_properties(windows.${name} PROPERTIES LABELS e2e TIMEOUT 1800 RUN_SERIAL TRUE
                ENVIRONMENT "QUARNEL_WIN_BUILD_DIR=${CMAKE_BINARY_DIR}")
        endforeach()
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    endif()
endif()

# End-to-end tests: the real executable under X, driven with xdotool.
if(QUARNEL_LINUX)
add_executable(x11-close-window tests/support/x11_close_window.c)
find_package(X11 REQUIRED)
target_link_libraries(x11-close-window PRIVATE X11::X11)
set_target_properties(x11-close-window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
# What scripts/soak.sh preloads into the show to sample memory, descriptors, threads and GL objects.
add_library(quarnel_soak_probe MODULE tests/support/soak_probe.c)
target_link_libraries(quarnel_soak_probe PRIVATE OpenGL::GL ${CMAKE_DL_LIBS})
set_target_properties(quarnel_soak_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests PREFIX "")

quarnel_e2e(e2e/shell_e2e.py escape_ends_with_capture_text_on_stdout camera_follows_every_pointer_move
    escape_replaces_the_clipboard_only_with_a_capture
    close_box_ends_with_status_0
    one_quick_escape_tap_ends_the_show dialog_run_then_escape dialog_quit_ends_with_status_0
    frames_and_screenshot capture_writes_every_frame capture_frames_writes_only_the_listed_frames
    capture_folder_is_made_or_refused_at_once
    failed_writes_end_with_status_1 unknown_option_prints_usage_and_exits_2 fullscreen_fallback_answered_yes_goes_windowed
    fullscreen_fallback_answered_no_closes fullscreen_on_an_800_by_600_display)
# --verify without a display, a sound device or the data folder.
quarnel_e2e(e2e/verify_e2e.py verify_needs_no_display)

if(TARGET quarnel_generated_assets)
    # One fixed-step run of the show whose frames the picture guard, the intro, the score and the
    # determinism tests read (tests/e2e/show_frames.py): each frame is drawn once. The longest of the
    # end-to-end tests, so CTest starts it first.
    add_test(NAME e2e.show_frames
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/support/on_own_display.py
                python3 ${CMAKE_SOURCE_DIR}/tests/e2e/show_frames.py write)
    set_tests_properties(e2e.show_frames PROPERTIES LABELS e2e TIMEOUT 2400 FIXTURES_SETUP show_frames COST 1000
        ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
    quarnel_e2e(e2e/show_e2e.py intro_shows_red_lines_on_a_dimmed_picture
        after_the_intro_score_and_time_show_near_the_player same_frame_number_gives_the_same_picture
        FIXTURE show_frames)
    # One run with the music, steered far outside the sea and ended by the close box: the grain and the
    # torn bands are read from its last frame.
    add_test(NAME e2e.outside_the_sea_run
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/support/on_own_display.py
                python3 ${CMAKE_SOURCE_DIR}/tests/e2e/show_e2e.py write_outside_the_sea)
    set_tests_properties(e2e.outside_the_sea_run PROPERTIES LABELS e2e TIMEOUT 1200
        FIXTURES_SETUP outside_the_sea COST 500
        ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
    quarnel_e2e(e2e/show_e2e.py outside_the_sea_the_music_pushes_the_bands_apart FIXTURE outside_the_sea)
    quarnel_e2e(e2e/show_e2e.py outside_the_sea_the_film_grain_is_stronger FIXTURE show_frames)
    set_tests_properties(e2e.outside_the_sea_the_film_grain_is_stronger PROPERTIES
        FIXTURES_REQUIRED "show_frames;outside_the_sea")
    quarnel_e2e(e2e/show_e2e.py missing_texture_ends_with_the_jpg_box
        missing_effect_file_still_shows_the_show music_off_needs_no_music_file
        missing_music_file_ends_with_status_0 sound_system_that_cannot_start_ends_with_status_1
        music_plays_with_the_show)
    # It compares the show's pace of drawing with and without its sound server: alone, so that other
    # tests do not change the pace between the two measurements.
    quarnel_e2e(e2e/show_e2e.py a_lost_sound_server_leaves_the_show_running SERIAL)
    # A virtual pad plugged into the show: it steers and ends it as the keys do.
    add_executable(pad_show_harness tests/support/pad_show_harness.cpp)
    target_link_libraries(pad_show_harness PRIVATE quarnel_shell)
    set_target_properties(pad_show_harness PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT QUARNEL_TESTS)
        set_target_properties(pad_show_harness PROPERTIES EXCLUDE_FROM_ALL TRUE)
    endif()
    quarnel_e2e(e2e/pad_e2e.py a_pad_steers_the_player_out_of_the_sea b_on_a_pad_ends_the_show_as_escape_does)
    # The picture guard: four frames of the shared run against the committed reference pictures.
    quarnel_e2e(e2e/picture_guard.py frames_match_the_reference_pictures FIXTURE show_frames)
    # The longest of the others (a minute or more each on this 2-core machine) start first, so that none of
    # them starts last; a fresh build folder has no times of its own yet.
    set_tests_properties(e2e.escape_replaces_the_clipboard_only_with_a_capture
        e2e.a_changed_byte_leaves_the_round_at_its_frame e2e.recorded_play_replays_the_same_every_time
        e2e.video_ends_with_escape_and_with_the_close_box e2e.rounds_of_every_target_verify_alike
        e2e.a_pad_steers_the_player_out_of_the_sea e2e.dialog_run_then_escape
        e2e.video_streams_sound_and_the_same_frames_twice PROPERTIES COST 100)
    # The one writer of output files: each program that writes a file, against every kind of output (a
    # device, a pipe, links, a folder it may not write in). The tools read the generated data.
    if(TARGET jpeg-decode AND TARGET spectrum-dump)
        quarnel_e2e(e2e/output_files_e2e.py jpeg_decode_writes_every_kind_of_output
            spectrum_dump_writes_every_kind_of_output screenshot_writes_every_kind_of_output
            capture_writes_every_kind_of_output video_writes_every_kind_of_output
            record_writes_every_kind_of_output)
    endif()
endif()

# The floor of a frame: the show's pixel work without its state churn (run it from build/show).
add_executable(frame_floor bench/frame_floor.cpp)
target_link_libraries(frame_floor PRIVATE quarnel_scene)
set_target_properties(frame_floor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# How bench/pipe-calls.py reads a driver's trace.
add_test(NAME bench.pipe_calls_reads_the_last_frame COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/bench/pipe_calls_test.py)
set_tests_properties(bench.pipe_calls_reads_the_last_frame PROPERTIES LABELS unit)

endif()

# The show on a screen at 200 % (each case starts an X server of its own, two of them a window manager).
if(QUARNEL_LINUX)
    quarnel_e2e(e2e/screens_e2e.py a_192_dpi_display_scales_the_window_and_keeps_4_to_3
        alt_enter_toggles_full_screen_at_the_desktop_resolution a_minimised_show_sleeps_and_still_hears_escape)
endif()
# The Windows build at 192 dpi under Wine (on an X server of its own).
if(WIN32 AND QUARNEL_WINDOWS_TESTS)
    add_test(NAME windows.wine_at_192_dpi_scales_the_window_and_the_dialog
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/windows/screens_wine_e2e.py
                wine_at_192_dpi_scales_the_window_and_the_dialog)
    set_tests_properties(windows.wine_at_192_dpi_scales_the_window_and_the_dialog PROPERTIES
        LABELS e2e TIMEOUT 1800 RUN_SERIAL TRUE ENVIRONMENT "QUARNEL_WIN_BUILD_DIR=${CMAKE_BINARY_DIR}")
endif()
