# The show's own generated assets: the painted textures and the synthesized music track (made by the
# generator programs in tools/ as build steps into the show folder) and the packaged outline font.
# The generators' building blocks and their tests are always built (so they also run under the
# sanitizers); the files themselves only with QUARNEL_ASSETS.
if(WIN32 OR QUARNEL_LINUX_SHOW_DIR)
    # The generators run on Linux only, and make the same bytes on every build: copy what a Linux build made.
    if(NOT IS_DIRECTORY "${QUARNEL_LINUX_SHOW_DIR}/textures")
        message(FATAL_ERROR "QUARNEL_LINUX_SHOW_DIR must name build/show of a Linux build with its assets")
    endif()
    add_custom_target(quarnel_generated_assets ALL
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUARNEL_LINUX_SHOW_DIR}/textures ${QUARNEL_SHOW_DIR}/textures
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUARNEL_LINUX_SHOW_DIR}/music ${QUARNEL_SHOW_DIR}/music
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUARNEL_LINUX_SHOW_DIR}/meshes ${QUARNEL_SHOW_DIR}/meshes
        # The setup dialog's font, which no Windows has.
        COMMAND ${CMAKE_COMMAND} -E copy /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
                ${QUARNEL_SHOW_DIR}/fonts/DejaVuSans.ttf
        COMMENT "Copying the generated assets of the Linux build")
    quarnel_show_data(quarnel_generated_assets)
    return()
endif()

add_library(quarnel_asset_gen STATIC tools/asset_gen/canvas.cpp tools/asset_gen/synth.cpp)
target_link_libraries(quarnel_asset_gen PUBLIC JPEG::JPEG PkgConfig::VORBIS)
quarnel_test(quarnel_asset_gen_test SOURCES tests/tools/asset_gen_test.cpp LABELS unit)
target_link_libraries(quarnel_asset_gen_test PRIVATE quarnel_asset_gen)

if(NOT QUARNEL_ASSETS)
    return()
endif()

add_executable(gen_textures tools/gen_textures.cpp)
target_link_libraries(gen_textures PRIVATE quarnel_asset_gen)
add_executable(gen_music tools/gen_music.cpp)
target_link_libraries(gen_music PRIVATE quarnel_asset_gen)
set_target_properties(gen_textures gen_music PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})

set(QUARNEL_TEXTURE_DIR ${QUARNEL_SHOW_DIR}/textures)
set(quarnel_texture_files ${QUARNEL_TEXTURE_DIR}/blob41b.jpg ${QUARNEL_TEXTURE_DIR}/superfilm3.jpg)
foreach(group RANGE 1 7)
    foreach(member RANGE 1 3)
        list(APPEND quarnel_texture_files ${QUARNEL_TEXTURE_DIR}/${group}-${member}.jpg)
    endforeach()
endforeach()
add_custom_command(OUTPUT ${quarnel_texture_files}
    COMMAND gen_textures ${QUARNEL_TEXTURE_DIR}
    DEPENDS gen_textures
    COMMENT "Painting the show's textures"
    VERBATIM)

# The program opens "music//[bEXAN] The lamp was distant.ogg": brackets and blanks stay quoted.
set(QUARNEL_MUSIC_FILE "${QUARNEL_SHOW_DIR}/music/[bEXAN] The lamp was distant.ogg")
add_custom_command(OUTPUT "${QUARNEL_MUSIC_FILE}"
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARNEL_SHOW_DIR}/music
    COMMAND gen_music "${QUARNEL_MUSIC_FILE}"
    DEPENDS gen_music
    COMMENT "Rendering the show's music track"
    VERBATIM)

set(QUARNEL_FONT_SOURCE /usr/share/fonts/truetype/aenigma/acknowtt.ttf)
set(QUARNEL_FONT_FILE ${QUARNEL_SHOW_DIR}/meshes/Acknowledge_TT_BRK.ttf)
if(NOT EXISTS ${QUARNEL_FONT_SOURCE})
    message(FATAL_ERROR "The font ${QUARNEL_FONT_SOURCE} is missing: install the Debian package fonts-aenigma "
                        "(scripts/install-deps.sh does), or configure with -DQUARNEL_ASSETS=OFF.")
endif()
add_custom_command(OUTPUT ${QUARNEL_FONT_FILE}
    COMMAND ${CMAKE_COMMAND} -E copy ${QUARNEL_FONT_SOURCE} ${QUARNEL_FONT_FILE}
    DEPENDS ${QUARNEL_FONT_SOURCE}
    COMMENT "Copying the outline font"
    VERBATIM)

add_custom_target(quarnel_generated_assets ALL DEPENDS ${quarnel_texture_files} "${QUARNEL_MUSIC_FILE}" ${QUARNEL_FONT_FILE})
quarnel_show_data(quarnel_generated_assets)

# Tests of the generated files themselves (built first).
quarnel_test(quarnel_assets_test
    SOURCES tests/tools/asset_pictures_test.cpp tests/tools/asset_track_test.cpp
            tests/tools/asset_font_test.cpp tests/tools/asset_reproducible_test.cpp
    LABELS unit)
target_link_libraries(quarnel_assets_test PRIVATE quarnel_render JPEG::JPEG PkgConfig::VORBIS PkgConfig::KISSFFT
    PkgConfig::FREETYPE)
target_compile_definitions(quarnel_assets_test PRIVATE
    QUARNEL_TEST_SHOW_DIR="${QUARNEL_SHOW_DIR}"
    QUARNEL_TEST_GEN_TEXTURES="$<TARGET_FILE:gen_textures>"
    QUARNEL_TEST_GEN_MUSIC="$<TARGET_FILE:gen_music>"
    QUARNEL_TEST_SPECTRUM_DUMP="$<TARGET_FILE:spectrum-dump>")
add_dependencies(quarnel_assets_test quarnel_generated_assets spectrum-dump)
