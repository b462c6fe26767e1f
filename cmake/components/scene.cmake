# scene/: the scene object with its lifecycle, the mini-game, the main composition and the three layers
# it renders into textures, and FrameInputs, the record the frame driver hands the scene. Stands on
# render/. With the game's unit tests and a GL test of the layers and the frame.
quarnel_library(quarnel_scene
    SOURCES scene/frame_inputs.cpp scene/demo_scene.cpp scene/game_checksum.cpp scene/mini_game.cpp
            scene/main_composition.cpp scene/scene_layers.cpp
    LIBS quarnel_render)
# The game's steps give the same bits on every system only without fused multiply-adds, and with the
# processor's own square root (see math.cmake).
target_compile_options(quarnel_scene PRIVATE -ffp-contract=off -fno-math-errno)

quarnel_test(scene_game_test
    SOURCES tests/scene/mini_game_test.cpp
    LIBS quarnel_scene
    LABELS unit)
if(TARGET JPEG::JPEG)
    quarnel_test(scene_gl_test
        SOURCES tests/scene/scene_gl_test.cpp
        LIBS quarnel_scene quarnel_gl_test_support JPEG::JPEG
        LABELS gl)
    target_compile_definitions(scene_gl_test PRIVATE QUARNEL_EFFECTS_DIR="${CMAKE_SOURCE_DIR}/data/cgeffects")
endif()

# game-maths-table: the system maths functions the game's steps call, on the arguments the show gives them,
# written by one build and compared by another (Linux, Windows, a page). The test checks that its arguments
# are the game's own.
add_executable(game-maths-table tests/scene/game_maths_table.cpp)
# Linked without the libraries' compile settings: SDL's renames main for its own entry on Windows, and
# this is a console program.
target_link_libraries(game-maths-table PRIVATE $<LINK_ONLY:quarnel_scene>)
set_target_properties(game-maths-table PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})
# Its square root is the game's: the processor's own, as the scene is built.
target_compile_options(game-maths-table PRIVATE -fno-math-errno)
if(WIN32)
    # A console program with its own main. SDL's flags, which come with the scene's libraries, rename main
    # to SDL_main (for SDL2main's entry, which wants it in C linkage) and make a GUI program; the name
    # comes back as main here, and the program is a console one.
    target_compile_definitions(game-maths-table PRIVATE SDL_main=main)
    target_link_libraries(game-maths-table PRIVATE -mconsole)
endif()
if(NOT EMSCRIPTEN)
    add_test(NAME scene.game_maths_table_takes_the_game_s_arguments COMMAND game-maths-table --self-check)
    set_tests_properties(scene.game_maths_table_takes_the_game_s_arguments PROPERTIES LABELS unit)
endif()
