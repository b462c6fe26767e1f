# The shell, the frame driver, the platform window layer and the drawing helpers everything stands on.
# The one writer of output files, alone so that the command-line tools can link it without the rest.
quarnel_library(quarnel_output_file
    SOURCES platform/output_file.cpp)
quarnel_library(quarnel_platform
    SOURCES platform/process.cpp platform/message_box.cpp platform/sdl_window.cpp platform/window.cpp
            platform/png_file.cpp platform/page.cpp platform/sdl/game_controller.cpp
    LIBS PkgConfig::SDL2 PkgConfig::PNG OpenGL::GL PkgConfig::GLU quarnel_output_file)
quarnel_library(quarnel_random
    SOURCES math/random.cpp)
quarnel_library(quarnel_runtime_basics
    SOURCES runtime/frame_inputs.cpp
    LIBS quarnel_random)
quarnel_library(quarnel_shell_state
    SOURCES shell/global_state.cpp)
quarnel_library(quarnel_render_basics
    SOURCES render/billboards.cpp render/engine.cpp render/pass_timing.cpp
    LIBS OpenGL::GL PkgConfig::GLU quarnel_model quarnel_random)
quarnel_library(quarnel_shell
    SOURCES shell/clock.cpp shell/window_proc.cpp shell/main_window.cpp shell/start_up.cpp
            shell/command_line.cpp shell/automation.cpp shell/program_entry.cpp shell/data_folder.cpp
            runtime/frame_driver.cpp
    LIBS OpenGL::GL PkgConfig::GLU)

quarnel_test(data_folder_test SOURCES tests/shell/data_folder_test.cpp LIBS quarnel_shell)
if(WIN32)
    quarnel_test(windows_platform_test SOURCES tests/platform/windows_platform_test.cpp
        LIBS quarnel_output_file quarnel_platform)
else()
    quarnel_test(output_file_test SOURCES tests/platform/output_file_test.cpp LIBS quarnel_output_file)
endif()

add_library(quarnel_gl_test_support STATIC tests/support/gl_test_window.cpp)
target_link_libraries(quarnel_gl_test_support PUBLIC quarnel_platform PkgConfig::SDL2 OpenGL::GL PkgConfig::GLU)

