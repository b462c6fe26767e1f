# platform/: the system only: window and messages, GL contexts, setup-dialog drawing, message boxes,
# clipboard, process, output files, the page. What every system shares sits in platform/ itself; each
# system's own calls in a subfolder taken here: sdl/ on all three, posix/ on Linux (and its file calls
# in a page), windows/ on Windows, web/ in a page, desktop/ for the page's calls off a page. Stands on
# gl_layer/ when the show draws through the layer.
set(QUARNEL_PLATFORM_SOURCES
    platform/output_file.cpp platform/input_file.cpp platform/abrupt_end.cpp platform/png_file.cpp
    platform/process.cpp platform/message_box.cpp platform/sdl/window.cpp platform/sdl/dialog.cpp
    platform/sdl/game_controller.cpp platform/screen_fit.cpp platform/display_scale.cpp
    platform/sdl/picture_present.cpp)
if(QUARNEL_GL_LAYER)
    list(APPEND QUARNEL_PLATFORM_SOURCES platform/sdl/gl_context_layer.cpp)
else()
    list(APPEND QUARNEL_PLATFORM_SOURCES platform/sdl/gl_context.cpp platform/sdl/gl_state_block.cpp)
endif()
if(WIN32)
    list(APPEND QUARNEL_PLATFORM_SOURCES
        platform/windows/output_file_system.cpp platform/windows/input_file_system.cpp
        platform/windows/abrupt_end_system.cpp platform/windows/process_system.cpp platform/windows/system.cpp
        platform/windows/path.cpp platform/windows/display_scale_system.cpp
        platform/windows/utf16.cpp platform/windows/windows_names_check.cpp
        platform/sdl/message_box.cpp platform/sdl/clipboard.cpp platform/sdl/gl_entry_point.cpp
        platform/desktop/page.cpp)
    set(QUARNEL_PLATFORM_ENTRY platform/windows/entry.cpp)
elseif(EMSCRIPTEN)
    list(APPEND QUARNEL_PLATFORM_SOURCES
        platform/posix/output_file_system.cpp platform/posix/input_file_system.cpp
        platform/posix/abrupt_end_system.cpp platform/posix/process_system.cpp platform/web/system.cpp
        platform/posix/path.cpp platform/web/display_scale_system.cpp
        platform/web/message_box.cpp platform/sdl/clipboard.cpp platform/web/gl_entry_point.cpp
        platform/web/page.cpp)
    set(QUARNEL_PLATFORM_ENTRY platform/web/entry.cpp)
else()
    list(APPEND QUARNEL_PLATFORM_SOURCES
        platform/posix/output_file_system.cpp platform/posix/input_file_system.cpp
        platform/posix/abrupt_end_system.cpp platform/posix/process_system.cpp platform/posix/system.cpp
        platform/posix/path.cpp platform/posix/display_scale_system.cpp
        platform/sdl/message_box.cpp platform/posix/clipboard.cpp platform/sdl/gl_entry_point.cpp
        platform/desktop/page.cpp)
    set(QUARNEL_PLATFORM_ENTRY platform/posix/entry.cpp)
endif()
set(QUARNEL_PLATFORM_LIBS PkgConfig::SDL2 PkgConfig::SDL2_TTF PkgConfig::PNG OpenGL::GL)
if(QUARNEL_GL_LAYER)
    list(APPEND QUARNEL_PLATFORM_LIBS quarnel_gl_layer)
endif()
quarnel_library(quarnel_platform SOURCES ${QUARNEL_PLATFORM_SOURCES} LIBS ${QUARNEL_PLATFORM_LIBS})

# A GL window for the tests that draw without the show's window.
add_library(quarnel_gl_test_support STATIC tests/support/gl_test_window.cpp)
target_link_libraries(quarnel_gl_test_support PUBLIC quarnel_platform)

if(WIN32)
    quarnel_test(windows_platform_test SOURCES tests/platform/windows_platform_test.cpp LIBS quarnel_platform)
else()
    quarnel_test(output_file_test SOURCES tests/platform/output_file_test.cpp LIBS quarnel_platform)
endif()
quarnel_test(screen_fit_test SOURCES tests/platform/screen_fit_test.cpp LIBS quarnel_platform)
if(NOT QUARNEL_GL_LAYER AND NOT WIN32)
    quarnel_test(picture_present_test SOURCES tests/platform/picture_present_test.cpp
        LIBS quarnel_platform quarnel_gl_test_support LABELS gl)
endif()
# Pads (SDL's virtual joystick) and fingers through the window's message stream.
# Its cases move the display's one pointer: they run alone.
quarnel_test(game_controller_test SOURCES tests/platform/game_controller_test.cpp LIBS quarnel_platform LABELS gl
    SERIAL)
