# gl_layer/: the GL 1.x layer over OpenGL ES 3.0 that the browser build draws with, also built natively
# with QUARNEL_GL_LAYER. Stands on nothing but the ES functions it is handed. Its parts that need no GL
# context (matrix stacks, primitive conversion, the shader conversion, the polygon tessellation) build
# always, with their unit tests; the layer itself, its GL test and the picture guard through it only with
# the option, when the library holds all of it and stands in for libGL and libGLU.
set(QUARNEL_GL_LAYER_SOURCES
    gl_layer/gl_layer_matrix.cpp gl_layer/gl_layer_primitives.cpp gl_layer/gl_layer_shaders.cpp
    gl_layer/polygon_tessellator.cpp)
if(QUARNEL_GL_LAYER)
    list(APPEND QUARNEL_GL_LAYER_SOURCES
        gl_layer/gl_layer_es.cpp gl_layer/gl_layer_state.cpp gl_layer/gl_layer_programs.cpp
        gl_layer/gl_layer_draw.cpp gl_layer/gl_layer_transform.cpp gl_layer/gl_layer_glu_tess.cpp
        $<$<BOOL:${EMSCRIPTEN}>:gl_layer/gl_layer_web.cpp>)
endif()
quarnel_library(quarnel_gl_layer SOURCES ${QUARNEL_GL_LAYER_SOURCES})

quarnel_test(gl_layer_core_test
    SOURCES tests/gl_layer/gl_layer_matrix_test.cpp tests/gl_layer/gl_layer_lines_test.cpp
            tests/gl_layer/polygon_tessellator_test.cpp
    LIBS quarnel_gl_layer PkgConfig::FREETYPE
    LABELS unit)

if(NOT QUARNEL_GL_LAYER)
    return()
endif()

# Label gl_layer (also matched by -L gl): it needs an X display.
quarnel_test(gl_layer_test SOURCES tests/gl_layer/gl_layer_test.cpp LIBS quarnel_gl_layer PkgConfig::SDL2
    LABELS gl_layer)
target_compile_definitions(gl_layer_test PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The show through the layer, held to the references of the GL 1.x path within a tolerance.
if(TARGET quarnel_generated_assets)
    add_test(NAME e2e.frames_through_the_gl_layer_are_close_to_the_reference_pictures
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/picture_guard.py
                frames_through_the_gl_layer_are_close_to_the_reference_pictures)
    set_tests_properties(e2e.frames_through_the_gl_layer_are_close_to_the_reference_pictures PROPERTIES
        LABELS "e2e;gl_layer" TIMEOUT 2400 COST 1000
        ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
endif()
