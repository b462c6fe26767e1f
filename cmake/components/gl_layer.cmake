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

if(NOT QUARNEL_GL_LAYER)
    return()
endif()

quarnel_library(quarnel_gl_layer
    SOURCES platform/gl_layer_es.cpp platform/gl_layer_state.cpp platform/gl_layer_programs.cpp
            platform/gl_layer_draw.cpp platform/gl_layer_transform.cpp platform/gl_layer_glu_tess.cpp
            $<$<BOOL:${EMSCRIPTEN}>:platform/gl_layer_web.cpp>
    LIBS quarnel_gl_layer_core)

# Label gl_layer (also matched by -L gl): it needs an X display.
quarnel_test(gl_layer_test SOURCES tests/platform/gl_layer_test.cpp LABELS gl_layer)
target_link_libraries(gl_layer_test PRIVATE PkgConfig::SDL2)
target_compile_definitions(gl_layer_test PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The show through the layer, held to the references of the GL 1.x path within a tolerance.
if(TARGET quarnel_assets)
    add_test(NAME e2e.frames_through_the_gl_layer_are_close_to_the_reference_pictures
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/picture_guard.py
                frames_through_the_gl_layer_are_close_to_the_reference_pictures)
    set_tests_properties(e2e.frames_through_the_gl_layer_are_close_to_the_reference_pictures PROPERTIES
        LABELS "e2e;gl_layer" TIMEOUT 2400 RUN_SERIAL TRUE
        ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
endif()
