# The setup dialog: a small modal SDL window with its own controls, and the template and procedure of
# the dialog shown before the show starts. Tests: the dialog's behaviour (unit) and the real window
# driven with xdotool under the test command's X display (e2e).
quarnel_library(quarnel_dialog
    SOURCES platform/dialog.cpp shell/setup_dialog.cpp
    LIBS PkgConfig::SDL2 PkgConfig::SDL2_TTF quarnel_platform)

quarnel_test(setup_dialog_tests
    SOURCES tests/shell/setup_dialog_test.cpp
    LIBS quarnel_dialog quarnel_shell_state quarnel_platform
    LABELS unit)

if(NOT QUARNEL_LINUX)
    return()  # the real dialog is driven with xdotool
endif()

add_executable(dialog_harness tests/shell/dialog_harness.cpp)
target_link_libraries(dialog_harness PRIVATE quarnel_dialog quarnel_shell_state quarnel_platform)

add_test(NAME setup_dialog_e2e
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/shell/setup_dialog_e2e.py $<TARGET_FILE:dialog_harness>)
set_tests_properties(setup_dialog_e2e PROPERTIES
    LABELS e2e TIMEOUT 300 ENVIRONMENT "SDL_AUDIODRIVER=dummy;LC_ALL=C")
