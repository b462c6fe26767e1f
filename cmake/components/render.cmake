# render/: the rendering toolkit: the Engine record, billboards, lazily resolved GL entry points and
# shader compiling, the off-screen render target, the fragment effects, the outline-font text with its
# FreeType outlines, and the textures loaded from JPEG files. Stands on assets/, platform/ and math/
# (OpenGL 1.x and GLU from the driver, or from gl_layer/ through platform/). The GLSL effect files are
# copied beside the show.
quarnel_library(quarnel_render
    SOURCES render/engine.cpp render/billboards.cpp render/pass_timing.cpp render/entry_points.cpp
            render/shader_compiler.cpp render/render_target.cpp render/effects.cpp render/image_sum.cpp
            render/font_outlines.cpp render/outline_text.cpp render/texture_loader.cpp
    LIBS quarnel_assets quarnel_platform quarnel_math PkgConfig::FREETYPE PkgConfig::GLU OpenGL::GL)

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

quarnel_test(billboards_test SOURCES tests/render/billboards_test.cpp LIBS quarnel_render)
quarnel_test(billboards_gl_test SOURCES tests/render/billboards_gl_test.cpp
    LIBS quarnel_render quarnel_gl_test_support LABELS gl)
quarnel_test(render_entry_points_test
    SOURCES tests/render/entry_points_test.cpp
    LIBS quarnel_render quarnel_gl_test_support
    LABELS gl)
quarnel_test(render_target_test
    SOURCES tests/render/render_target_test.cpp tests/render/pixels.cpp
    LIBS quarnel_render quarnel_gl_test_support
    LABELS gl)
quarnel_test(render_effects_test
    SOURCES tests/render/effects_test.cpp tests/render/pixels.cpp
    LIBS quarnel_render quarnel_gl_test_support
    LABELS gl)
add_dependencies(render_effects_test quarnel_effect_files)
# The effect tests read the shipped programs and their copies beside the show.
target_compile_definitions(render_effects_test PRIVATE QUARNEL_RENDER_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUARNEL_RENDER_BUILD_DIR="${CMAKE_BINARY_DIR}")
quarnel_test(render_outline_text_test
    SOURCES tests/render/outline_text_test.cpp tests/render/pixels.cpp
    LIBS quarnel_render quarnel_gl_test_support
    LABELS gl)
quarnel_test(render_image_sum_test
    SOURCES tests/render/image_sum_test.cpp tests/render/pixels.cpp
    LIBS quarnel_render quarnel_gl_test_support
    LABELS gl)
quarnel_test(render_target_rules_test
    SOURCES tests/render/render_target_rules_test.cpp
    LIBS quarnel_render
    LABELS unit)

if(QUARNEL_LINUX)  # its test pictures are made with libjpeg-turbo
    quarnel_test(texture_loader_test
        SOURCES tests/render/texture_loader_test.cpp
        LIBS quarnel_render quarnel_jpeg_test_files quarnel_gl_test_support
        LABELS gl)
endif()

if(QUARNEL_BENCH)
    add_executable(render_bench bench/render_bench.cpp)
    target_link_libraries(render_bench PRIVATE quarnel_render quarnel_gl_test_support benchmark::benchmark)
endif()
