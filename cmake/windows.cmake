# Building for 64-bit Windows (scripts/build-windows.sh): the libraries come from the cross prefix as static
# archives, so quarnel.exe needs no DLL of its own; GLU is the system's glu32; the generated assets are
# copied from a Linux build (QUARNEL_LINUX_SHOW_DIR), since their generators run on Linux.
include(cmake/cross_prefix.cmake)
quarnel_use_cross_prefix(win64)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# MinGW's GL/gl.h and GL/glu.h include <windows.h> unless these are given, and <windows.h> makes macros
# of the Windows names the shell defines itself (platform/windows_names.h). <windows.h> stays in
# platform/windows/.
add_compile_definitions("WINGDIAPI=__declspec(dllimport)" APIENTRY=__stdcall CALLBACK=__stdcall)
# The C++ runtime, libgcc and winpthread inside the executable; a GUI program (no console window). No link
# time in the executables, so that the same sources give the same bytes.
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)


# The unit tests, run under Wine by CTest: tests/windows/run-tests.sh runs them in the prefix that
# tests/windows/wine-prefix.sh makes.
option(QUARNEL_WINDOWS_TESTS "Build the unit tests that run under Wine" OFF)
if(QUARNEL_WINDOWS_TESTS)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/windows/wine-run.sh)
endif()

# GLU: the system's glu32, under the name the components use.
add_library(quarnel_glu32 INTERFACE)
target_link_libraries(quarnel_glu32 INTERFACE glu32)
add_library(PkgConfig::GLU ALIAS quarnel_glu32)
