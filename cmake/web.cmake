# Building for the browser (scripts/build-web.sh): emscripten, with the libraries of the cross prefix as
# static archives; the show draws through the GL 1.x layer over WebGL 2 and mixes its music on the page's
# one thread for Web Audio. The generated assets are copied from a Linux build (QUARNEL_LINUX_SHOW_DIR),
# since their generators run on Linux, and packed into quarnel.data. Only the show is built here: the
# tests run natively and drive the page in headless Chromium.
include(cmake/cross_prefix.cmake)
quarnel_use_cross_prefix(web)

set(QUARNEL_GL_LAYER ON CACHE BOOL "" FORCE)
set(QUARNEL_BENCH OFF CACHE BOOL "" FORCE)
set(QUARNEL_ASSETS OFF CACHE BOOL "" FORCE)

# No threads: they would need a page served with cross-origin isolation headers. The sound layer's
# worker thread is never started in a page (the music is mixed offline there).
add_library(Threads::Threads INTERFACE IMPORTED)
set(Threads_FOUND TRUE)
# The test programs stay defined, for the components' settings of them, but are never built.
add_library(GTest::gtest INTERFACE IMPORTED)
add_library(GTest::gtest_main INTERFACE IMPORTED)


# The program's part of the page: quarnel.js, quarnel.wasm and quarnel.data, in a folder of their own
# (scripts/build-web.sh puts dist/web/index.html beside them).
set(QUARNEL_PAGE_DIR ${CMAKE_BINARY_DIR}/page)
file(MAKE_DIRECTORY ${QUARNEL_PAGE_DIR})

# The dialog's font cut down to the printable ASCII its captions use: 26 KB instead of 760 KB of download.
find_program(QUARNEL_PYFTSUBSET pyftsubset PATHS /usr/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(QUARNEL_PAGE_FONT_DIR ${CMAKE_BINARY_DIR}/page-fonts)
add_custom_command(OUTPUT ${QUARNEL_PAGE_FONT_DIR}/DejaVuSans.ttf
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARNEL_PAGE_FONT_DIR}
    COMMAND ${QUARNEL_PYFTSUBSET} /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --unicodes=U+0020-007E
            --output-file=${QUARNEL_PAGE_FONT_DIR}/DejaVuSans.ttf
    DEPENDS /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
    COMMENT "Cutting the dialog's font down to ASCII"
    VERBATIM)
add_custom_target(quarnel_page_font DEPENDS ${QUARNEL_PAGE_FONT_DIR}/DejaVuSans.ttf)

function(quarnel_web_page target)
    set(show ${QUARNEL_SHOW_DIR})
    add_dependencies(${target} quarnel_page_font)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_PAGE_DIR})
    # dynCall: SDL's Web Audio callback calls the mixer through it (named in a file: a "$" would not
    # survive the shell).
    # MODULARIZE: quarnel.js defines createQuarnel(), which the page calls for every show it starts, each
    # a program of its own with fresh memory ("Play again" without reloading). The music is no part of
    # quarnel.data: the page fetches it when a show will play it (scripts/build-web.sh puts it beside).
    target_link_options(${target} PRIVATE
        -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB
        -sENVIRONMENT=web -sEXPORTED_RUNTIME_METHODS=FS,UTF8ToString -sFORCE_FILESYSTEM=1
        -sMODULARIZE=1 -sEXPORT_NAME=createQuarnel
        -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_SOURCE_DIR}/dist/web/library-functions.json
        "SHELL:--preload-file ${show}/textures@/textures"
        "SHELL:--preload-file ${show}/cgeffects@/cgeffects"
        "SHELL:--preload-file ${show}/meshes@/meshes"
        "SHELL:--preload-file ${QUARNEL_PAGE_FONT_DIR}@/fonts")
endfunction()
