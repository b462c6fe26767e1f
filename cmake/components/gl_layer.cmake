# The GL 1.x layer over OpenGL ES 3.0 that the browser build draws with, also built natively with
# QUARNEL_GL_LAYER. Its parts that need no GL context (matrix stacks, primitive conversion, the shader
# conversion, the polygon tessellation) build always, with their unit tests; the layer itself, its GL
# test and the picture guard through it only with the option.
add_library(quarnel_gl_layer_core STATIC
    platform/gl_layer_matrix.cpp platform/gl_layer_primitives.cpp platform/gl_layer_shaders.cpp
    platform/polygon_tessellator.cpp)

quarnel_test(gl_layer_core_test
    SOURCES tests/platform/gl_layer_matrix_test.cpp tests/platform/gl_layer_lines_test.cpp
            tests/platform/polygon_tessellator_test.cpp
    LABELS unit)
target_link_libraries(gl_layer_core_test PRIVATE quarnel_gl_layer_core PkgConfig::FREETYPE)
target_compile_definitions(gl_layer_core_test PRIVATE
    QUARNEL_TEST_FONT="/usr/share/fonts/truetype/aenigma/acknowtt.ttf")

if(NOT QUARNEL_GL_LAYER)
    return()
endif()

quarnel_library(quarnel_gl_layer
    SOURCES platform/gl_layer_es.cpp platform/gl_layer_state.cpp platform/gl_layer_programs.cpp
            platform/gl_layer_draw.cpp platform/gl_layer_transform.cpp platform/gl_layer_glu_tess.cpp
    LIBS quarnel_gl_layer_core)
