# The shell, the frame driver, the platform window layer and the drawing helpers everything stands on.
quarnel_library(quarnel_platform
    SOURCES platform/process.cpp platform/message_box.cpp platform/sdl_window.cpp platform/window.cpp
            platform/png_file.cpp
    LIBS PkgConfig::SDL2 PkgConfig::PNG OpenGL::GL PkgConfig::GLU)
quarnel_library(quarnel_runtime_basics
    SOURCES runtime/random.cpp runtime/frame_inputs.cpp)
quarnel_library(quarnel_shell_state
    SOURCES shell/global_state.cpp)
quarnel_library(quarnel_render_basics
    SOURCES render/billboards.cpp render/engine.cpp
    LIBS OpenGL::GL PkgConfig::GLU)
quarnel_library(quarnel_shell
    SOURCES shell/clock.cpp shell/window_proc.cpp shell/main_window.cpp shell/start_up.cpp
            shell/command_line.cpp shell/automation.cpp shell/program_entry.cpp runtime/frame_driver.cpp
    LIBS OpenGL::GL PkgConfig::GLU)

add_library(quarnel_gl_test_support STATIC tests/support/gl_test_window.cpp)
target_link_libraries(quarnel_gl_test_support PUBLIC quarnel_platform PkgConfig::SDL2 OpenGL::GL PkgConfig::GLU)

quarnel_test(shell_test SOURCES tests/shell/shell_test.cpp
    LIBS quarnel_shell quarnel_platform quarnel_runtime_basics quarnel_shell_state quarnel_render_basics)
quarnel_test(frame_driver_test SOURCES tests/runtime/frame_driver_test.cpp
    LIBS quarnel_shell quarnel_platform quarnel_runtime_basics quarnel_shell_state quarnel_render_basics)
quarnel_test(billboards_test SOURCES tests/render/billboards_test.cpp
    LIBS quarnel_render_basics quarnel_runtime_basics)
quarnel_test(billboards_gl_test SOURCES tests/render/billboards_gl_test.cpp
    LIBS quarnel_render_basics quarnel_runtime_basics quarnel_gl_test_support LABELS gl)

# End-to-end tests: the real executable under X, driven with xdotool.
add_executable(x11-close-window tests/support/x11_close_window.c)
find_package(X11 REQUIRED)
target_link_libraries(x11-close-window PRIVATE X11::X11)
set_target_properties(x11-close-window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

function(quarnel_e2e script)
    foreach(name ${ARGN})
        add_test(NAME e2e.${name} COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/${script} ${name})
        set_tests_properties(e2e.${name} PROPERTIES LABELS e2e TIMEOUT 180 RUN_SERIAL TRUE
            ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
    endforeach()
endfunction()
quarnel_e2e(shell_e2e.py escape_ends_with_capture_text_on_stdout close_box_ends_with_status_0
    dialog_run_then_escape dialog_quit_ends_with_status_0
    frames_and_screenshot unknown_option_prints_usage_and_exits_2 fullscreen_fallback_answered_yes_goes_windowed
    fullscreen_fallback_answered_no_closes fullscreen_on_an_800_by_600_display)
