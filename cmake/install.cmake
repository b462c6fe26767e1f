# Installing the show as a desktop game: `cmake --install build [--prefix P]` puts the program in P/bin,
# its four data folders in P/share/quarnel, a desktop entry, hicolor icons made from the show's own art,
# AppStream metainfo, the manual page quarnel(6) and the README and licence texts. Also the tests of the
# installed files and of the Debian package (scripts/make-deb.sh). Depends on cmake/show.cmake and the
# generated assets (cmake/components/assets.cmake).
include(GNUInstallDirs)

# The name of the desktop entry, metainfo and icons (reverse DNS), and the web home the metainfo points
# to for its screenshots: both stand for a home the project does not have yet.
set(QUARNEL_APP_ID "org.example.quarnel" CACHE STRING "Desktop and AppStream id (reverse DNS)")
set(QUARNEL_HOMEPAGE "https://example.org/quarnel" CACHE STRING "Web home named in the AppStream metainfo")

set(QUARNEL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/quarnel)
set(QUARNEL_DOC_INSTALL_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quarnel)

# The installed program finds its data relative to its own folder.
file(RELATIVE_PATH QUARNEL_INSTALLED_DATA_RELATIVE ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/quarnel)
set_property(SOURCE shell/data_folder.cpp APPEND PROPERTY COMPILE_DEFINITIONS
             QUARNEL_INSTALLED_DATA_DIR="${QUARNEL_INSTALLED_DATA_RELATIVE}")

# Desktop entry, metainfo and manual page, with the id, version and date filled in.
set(QUARNEL_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
configure_file(dist/quarnel.desktop.in ${QUARNEL_DIST_DIR}/${QUARNEL_APP_ID}.desktop @ONLY)
configure_file(dist/quarnel.metainfo.xml.in ${QUARNEL_DIST_DIR}/${QUARNEL_APP_ID}.metainfo.xml @ONLY)
configure_file(dist/quarnel.6.in ${QUARNEL_DIST_DIR}/quarnel.6 @ONLY)

# Everything `cmake --install` copies, built by one target (scripts/make-deb.sh builds only this).
add_custom_target(quarnel_install_files)
add_dependencies(quarnel_install_files quarnel)

if(TARGET quarnel_generated_assets)
    # Icons from the generated textures, read with the show's own decoder.
    add_executable(gen_icons tools/gen_icons.cpp)
    target_link_libraries(gen_icons PRIVATE quarnel_assets PkgConfig::PNG)
    set_target_properties(gen_icons PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})
    set(QUARNEL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
    set(QUARNEL_ICON_FILES ${QUARNEL_ICON_DIR}/hicolor/scalable/apps/${QUARNEL_APP_ID}.svg)
    foreach(size 48 64 128 256)
        list(APPEND QUARNEL_ICON_FILES ${QUARNEL_ICON_DIR}/hicolor/${size}x${size}/apps/${QUARNEL_APP_ID}.png)
    endforeach()
    # quarnel.ico, made beside them, is the Windows program's (cmake/windows_program.cmake), not installed.
    add_custom_command(OUTPUT ${QUARNEL_ICON_FILES} ${QUARNEL_ICON_DIR}/quarnel.ico
        COMMAND gen_icons ${QUARNEL_SHOW_DIR}/textures ${QUARNEL_ICON_DIR} ${QUARNEL_APP_ID}
        DEPENDS gen_icons ${QUARNEL_SHOW_DIR}/textures/blob41b.jpg ${QUARNEL_SHOW_DIR}/textures/3-1.jpg
        COMMENT "Making the icons"
        VERBATIM)
    add_custom_target(quarnel_icons ALL DEPENDS ${QUARNEL_ICON_FILES} ${QUARNEL_ICON_DIR}/quarnel.ico)
    add_dependencies(quarnel_icons quarnel_generated_assets)
    add_dependencies(quarnel_install_files quarnel_icons)
else()
    install(CODE "message(FATAL_ERROR \"Installing needs the generated textures, music and font: configure \"
                                      \"with -DQUARNEL_ASSETS=ON.\")")
endif()

install(TARGETS quarnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${QUARNEL_SHOW_DIR}/textures DESTINATION ${QUARNEL_DATA_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.jpg")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/cgeffects DESTINATION ${QUARNEL_DATA_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.cpp")
install(DIRECTORY ${QUARNEL_SHOW_DIR}/meshes DESTINATION ${QUARNEL_DATA_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.ttf")
install(DIRECTORY ${QUARNEL_SHOW_DIR}/music DESTINATION ${QUARNEL_DATA_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.ogg")
install(FILES ${QUARNEL_DIST_DIR}/${QUARNEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUARNEL_DIST_DIR}/${QUARNEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(icon ${QUARNEL_ICON_FILES})
    file(RELATIVE_PATH icon_path ${QUARNEL_ICON_DIR} ${icon})
    get_filename_component(icon_folder ${icon_path} DIRECTORY)
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/${icon_folder})
endforeach()
install(FILES ${QUARNEL_DIST_DIR}/quarnel.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES README.md LICENSE dist/copyright dist/acknowledge.txt DESTINATION ${QUARNEL_DOC_INSTALL_DIR})

# What ./run.sh installs (packages.txt) holds nothing of the tests or the cross builds.
add_test(NAME install.package_lists COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/install/package_lists_test.py)
set_tests_properties(install.package_lists PROPERTIES LABELS unit
    ENVIRONMENT "QUARNEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")

# Tests of the installed files and the package; they need the whole show, so only with the assets.
if(TARGET quarnel_generated_assets)
    foreach(name installed_show_runs_from_another_folder no_data_anywhere_names_every_place
                 desktop_entry_and_metainfo_validate manual_page_renders_and_lists_every_option
                 package_holds_everything_installed)
        add_test(NAME install.${name} COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/install/install_test.py ${name})
        set_tests_properties(install.${name} PROPERTIES LABELS install TIMEOUT 600
            ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};QUARNEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUARNEL_APP_ID=${QUARNEL_APP_ID};SDL_AUDIODRIVER=dummy")
    endforeach()
endif()
