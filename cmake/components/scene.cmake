# The scene: the scene object with its lifecycle, the mini-game, the main composition and the three layers
# it renders into textures; with the game's unit tests and a GL test of the layers and the frame.
quarnel_library(quarnel_scene
    SOURCES scene/demo_scene.cpp scene/game_checksum.cpp scene/mini_game.cpp scene/main_composition.cpp scene/scene_layers.cpp
    LIBS quarnel_math $<TARGET_NAME_IF_EXISTS:quarnel_render_basics> $<TARGET_NAME_IF_EXISTS:quarnel_render>
         $<TARGET_NAME_IF_EXISTS:quarnel_textures> quarnel_runtime_basics PkgConfig::GLU OpenGL::GL)

set(QUARNEL_SCENE_TEST_LIBS quarnel_scene quarnel_math $<TARGET_NAME_IF_EXISTS:quarnel_render_basics>
    $<TARGET_NAME_IF_EXISTS:quarnel_render> $<TARGET_NAME_IF_EXISTS:quarnel_render_platform>
    $<TARGET_NAME_IF_EXISTS:quarnel_textures> $<TARGET_NAME_IF_EXISTS:quarnel_jpeg> quarnel_platform
    quarnel_runtime_basics)
quarnel_test(scene_game_test
    SOURCES tests/scene/mini_game_test.cpp
    LIBS ${QUARNEL_SCENE_TEST_LIBS}
    LABELS unit)
if(NOT TARGET JPEG::JPEG)
    return()
endif()
quarnel_test(scene_gl_test
    SOURCES tests/scene/scene_gl_test.cpp
    LIBS ${QUARNEL_SCENE_TEST_LIBS} quarnel_gl_test_support JPEG::JPEG
    LABELS gl)
target_compile_definitions(scene_gl_test PRIVATE QUARNEL_EFFECTS_DIR="${CMAKE_SOURCE_DIR}/data/cgeffects")
