# What makes quarnel.exe a Windows program: its resources (the show's icon, version information from the
# project's VERSION, and a manifest: per-monitor DPI awareness, UTF-8 as the code page, the supported
# Windows versions, the current common controls), and quarnel-cli.exe beside it, the console program a
# command prompt waits for (platform/windows/console_launcher.cpp). The icon is made on Linux by gen_icons
# (cmake/install.cmake) like the other generated files; scripts/build-windows.sh builds it first.
# The resource files are compiled with windres by a command of their own, into objects linked with the
# program: the compiler options of the C++ sources (warnings, prefix maps) mean nothing to windres.
set(QUARNEL_WINDOWS_ICON "" CACHE FILEPATH "The program's icon, made by a Linux build (its icons/quarnel.ico)")
set(quarnel_icon ${QUARNEL_WINDOWS_ICON})
if(NOT quarnel_icon AND QUARNEL_LINUX_SHOW_DIR)
    get_filename_component(quarnel_linux_build ${QUARNEL_LINUX_SHOW_DIR} DIRECTORY)
    set(quarnel_icon ${quarnel_linux_build}/icons/quarnel.ico)
endif()
if(NOT EXISTS "${quarnel_icon}")
    message(FATAL_ERROR "No icon for the Windows program at \"${quarnel_icon}\": build the target quarnel_icons "
                        "of the Linux build, or name the file with -DQUARNEL_WINDOWS_ICON=...")
endif()

# quarnel_windows_resources(TARGET FILE_NAME DESCRIPTION): the icon, version and manifest for one program.
function(quarnel_windows_resources target file description)
    set(QUARNEL_RC_FILE ${file})
    get_filename_component(QUARNEL_RC_NAME ${file} NAME_WE)
    set(QUARNEL_RC_DESCRIPTION ${description})
    set(QUARNEL_RC_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    set(QUARNEL_RC_ICON ${quarnel_icon})
    set(QUARNEL_RC_MANIFEST ${CMAKE_BINARY_DIR}/windows/${QUARNEL_RC_NAME}.manifest)
    configure_file(${CMAKE_SOURCE_DIR}/dist/windows/quarnel.manifest.in ${QUARNEL_RC_MANIFEST} @ONLY)
    set(rc ${CMAKE_BINARY_DIR}/windows/${QUARNEL_RC_NAME}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/dist/windows/quarnel.rc.in ${rc} @ONLY)
    set(object ${CMAKE_BINARY_DIR}/windows/${QUARNEL_RC_NAME}.res.obj)
    add_custom_command(OUTPUT ${object}
        COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${rc} -o ${object}
        DEPENDS ${rc} ${quarnel_icon} ${QUARNEL_RC_MANIFEST}
        COMMENT "Compiling the resources of ${file}"
        VERBATIM)
    target_sources(${target} PRIVATE ${object})
endfunction()

quarnel_windows_resources(quarnel quarnel.exe "Quarnel, a real-time audiovisual mini-game")

add_executable(quarnel-cli platform/windows/console_launcher.cpp)
set_target_properties(quarnel-cli PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_SHOW_DIR})
target_link_options(quarnel-cli PRIVATE -mconsole)
quarnel_windows_resources(quarnel-cli quarnel-cli.exe "Quarnel for a command prompt (starts quarnel.exe)")
add_dependencies(quarnel quarnel-cli)

# The zip that scripts/build-windows.sh packs, read on Linux (tests/windows/run-tests.sh runs these after the
# tests under Wine): the programs' resources, the licences and the source it names, and a second build of
# the same commit in another folder, which must give the same bytes.
if(QUARNEL_WINDOWS_TESTS)
    foreach(name programs_carry_their_icon_version_and_manifest zip_holds_every_licence_and_names_its_source
            two_builds_give_the_same_zip)
        add_test(NAME windows.${name} COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/windows/zip_test.py ${name})
        set_tests_properties(windows.${name} PROPERTIES LABELS package TIMEOUT 3600
            ENVIRONMENT "QUARNEL_WIN_BUILD_DIR=${CMAKE_BINARY_DIR}")
    endforeach()
endif()
