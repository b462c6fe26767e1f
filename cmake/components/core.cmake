# The shell's platform layer, runtime basics and the drawing helpers everything else stands on.
quarnel_library(quarnel_platform
    SOURCES platform/process.cpp platform/message_box.cpp platform/sdl_window.cpp
    LIBS PkgConfig::SDL2 OpenGL::GL PkgConfig::GLU)
quarnel_library(quarnel_runtime_basics
    SOURCES runtime/random.cpp)

add_library(quarnel_gl_test_support STATIC tests/support/gl_test_window.cpp)
target_link_libraries(quarnel_gl_test_support PUBLIC quarnel_platform PkgConfig::SDL2 OpenGL::GL PkgConfig::GLU)
