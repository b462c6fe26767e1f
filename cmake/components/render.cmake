# The rendering toolkit: lazily resolved GL entry points, the off-screen render target, the fragment
# effects and the outline-font text, with their platform layers (second GL context, GLSL compiling,
# FreeType outlines) and the GLSL effect files copied beside the show.
# Through the GL 1.x layer the second context is a state block of the layer's one context.
if(QUARNEL_GL_LAYER)
    set(QUARNEL_GL_CONTEXT_SOURCE platform/gl_context_layer.cpp)
else()
    set(QUARNEL_GL_CONTEXT_SOURCE platform/gl_context.cpp)
endif()
quarnel_library(quarnel_render_platform
    SOURCES ${QUARNEL_GL_CONTEXT_SOURCE} platform/shader_compiler.cpp platform/font_outlines.cpp
    LIBS quarnel_render quarnel_platform PkgConfig::SDL2 PkgConfig::FREETYPE PkgConfig::GLU OpenGL::GL)
quarnel_library(quarnel_render
    SOURCES render/entry_points.cpp render/render_target.cpp render/effects.cpp render/outline_text.cpp
            render/image_sum.cpp
    LIBS quarnel_render_platform $<TARGET_NAME_IF_EXISTS:quarnel_render_basics> quarnel_platform
         quarnel_random PkgConfig::GLU OpenGL::GL)

# The effect programs are data: copied, never compiled as C++.
file(GLOB QUARNEL_EFFECT_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/cgeffects/*.cpp)
set(QUARNEL_EFFECT_COPIES)
foreach(effect ${QUARNEL_EFFECT_FILES})
    get_filename_component(effect_name ${effect} NAME)
    set(copy ${QUARNEL_SHOW_DIR}/cgeffects/${effect_name})
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARNEL_SHOW_DIR}/cgeffects
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${effect} ${copy}
        DEPENDS ${effect}
        COMMENT "Copying effect ${effect_name}")
    list(APPEND QUARNEL_EFFECT_COPIES ${copy})
endforeach()
add_custom_target(quarnel_effect_files DEPENDS ${QUARNEL_EFFECT_COPIES})
quarnel_show_data(quarnel_effect_files)

set(QUARNEL_RENDER_TEST_LIBS quarnel_render quarnel_render_platform $<TARGET_NAME_IF_EXISTS:quarnel_render_basics>
    quarnel_gl_test_support quarnel_platform quarnel_random)
quarnel_test(render_entry_points_test
    SOURCES tests/render/entry_points_test.cpp
    LIBS ${QUARNEL_RENDER_TEST_LIBS}
    LABELS gl)
quarnel_test(render_target_test
    SOURCES tests/render/render_target_test.cpp tests/render/pixels.cpp
    LIBS ${QUARNEL_RENDER_TEST_LIBS}
    LABELS gl)
quarnel_test(render_effects_test
    SOURCES tests/render/effects_test.cpp tests/render/pixels.cpp
    LIBS ${QUARNEL_RENDER_TEST_LIBS}
    LABELS gl)
add_dependencies(render_effects_test quarnel_effect_files)
quarnel_test(render_outline_text_test
    SOURCES tests/render/outline_text_test.cpp tests/render/pixels.cpp
    LIBS ${QUARNEL_RENDER_TEST_LIBS}
    LABELS gl)
quarnel_test(render_image_sum_test
    SOURCES tests/render/image_sum_test.cpp tests/render/pixels.cpp
    LIBS ${QUARNEL_RENDER_TEST_LIBS}
    LABELS gl)
quarnel_test(render_target_rules_test
    SOURCES tests/render/render_target_rules_test.cpp
    LIBS ${QUARNEL_RENDER_TEST_LIBS}
    LABELS unit)

if(QUARNEL_BENCH)
    add_executable(render_bench tests/render/render_bench.cpp)
    target_link_libraries(render_bench PRIVATE "$<LINK_GROUP:RESCAN,${QUARNEL_RENDER_TEST_LIBS}>" benchmark::benchmark)
endif()
# The effect tests read the shipped programs and their copies beside the show.
target_compile_definitions(render_effects_test PRIVATE QUARNEL_RENDER_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUARNEL_RENDER_BUILD_DIR="${CMAKE_BINARY_DIR}")
