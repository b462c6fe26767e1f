# The show and the tests that need all of it: every component library, linked as one group since they
# call each other.
get_property(QUARNEL_LIBS GLOBAL PROPERTY QUARNEL_SHOW_LIBS)
add_executable(quarnel shell/main.cpp)
target_link_libraries(quarnel PRIVATE "$<LINK_GROUP:RESCAN,${QUARNEL_LIBS}>")
set_target_properties(quarnel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_SHOW_DIR})
get_property(QUARNEL_DATA GLOBAL PROPERTY QUARNEL_SHOW_DATA)
if(QUARNEL_DATA)
    add_dependencies(quarnel ${QUARNEL_DATA})
endif()

# The shell and frame driver call into the parts that are present in this tree.
foreach(part RENDER:quarnel_render TEXTURES:quarnel_textures SCENE:quarnel_scene MUSIC:quarnel_music
             DIALOG:quarnel_dialog)
    string(REPLACE ":" ";" pair ${part})
    list(GET pair 0 flag)
    list(GET pair 1 lib)
    if(TARGET ${lib})
        target_compile_definitions(quarnel_shell PRIVATE QUARNEL_HAVE_${flag})
    endif()
endforeach()

quarnel_test(shell_test SOURCES tests/shell/shell_test.cpp
    LIBS ${QUARNEL_LIBS})
quarnel_test(frame_driver_test SOURCES tests/runtime/frame_driver_test.cpp
    LIBS ${QUARNEL_LIBS})
quarnel_test(billboards_test SOURCES tests/render/billboards_test.cpp
    LIBS quarnel_render_basics quarnel_runtime_basics)
quarnel_test(billboards_gl_test SOURCES tests/render/billboards_gl_test.cpp
    LIBS quarnel_render_basics quarnel_runtime_basics quarnel_gl_test_support LABELS gl)

# End-to-end tests: the real executable under X, driven with xdotool.
add_executable(x11-close-window tests/support/x11_close_window.c)
find_package(X11 REQUIRED)
target_link_libraries(x11-close-window PRIVATE X11::X11)
set_target_properties(x11-close-window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

function(quarnel_e2e script)
    foreach(name ${ARGN})
        add_test(NAME e2e.${name} COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/${script} ${name})
        set_tests_properties(e2e.${name} PROPERTIES LABELS e2e TIMEOUT 180 RUN_SERIAL TRUE
            ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
    endforeach()
endfunction()
quarnel_e2e(shell_e2e.py escape_ends_with_capture_text_on_stdout close_box_ends_with_status_0
    dialog_run_then_escape dialog_quit_ends_with_status_0
    frames_and_screenshot unknown_option_prints_usage_and_exits_2 fullscreen_fallback_answered_yes_goes_windowed
    fullscreen_fallback_answered_no_closes fullscreen_on_an_800_by_600_display)
