# Helpers shared by the component files in cmake/components/.
#
# quarnel_library(NAME SOURCES ... [LIBS ...])
#   A folder's static library. LIBS are what it stands on: the libraries of folders below it and outside
#   libraries (imported targets); whoever links it gets them too.
# quarnel_test(NAME SOURCES ... [LIBS ...] [LABELS unit|gl|e2e ...])
#   A GoogleTest program registered with CTest. "unit" tests need no display and also run under the
#   sanitizers; "gl" tests need an X display (the test command runs everything under Xvfb); "e2e" tests
#   start the real executable. LIBS are the libraries of what it tests (and what they stand on comes along).
# quarnel_e2e(SCRIPT NAME ... [SERIAL] [TIMEOUT S] [FIXTURE F])
#   End-to-end tests e2e.NAME: `python3 tests/SCRIPT NAME`, each on an X display of its own
#   (tests/support/on_own_display.py), so that they run side by side. SERIAL only for a test that needs
#   the machine to itself (it measures a pace); FIXTURE: the tests read what the setup test F wrote.
# quarnel_show_data(TARGET)
#   A custom target that must be built before the show (generated assets, copied data).
# quarnel_fuzz_target(NAME SOURCES ...)
#   A libFuzzer program in build/fuzz/ (QUARNEL_FUZZ, clang). The parser's own sources are listed with it
#   and compiled into it, so that they carry the instrumentation: AddressSanitizer and
#   UndefinedBehaviorSanitizer, or with QUARNEL_FUZZ_COVERAGE source-based coverage instead
#   (scripts/fuzz-coverage.sh).

include_directories(${CMAKE_SOURCE_DIR})

function(quarnel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

function(quarnel_test name)
    cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/failed_suite_setup.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    # Windows' build without its tests (the zip alone), the browser's and a build without tests: the
    # program stays defined, for the components' settings of it, but out of the build and of CTest.
    if((WIN32 AND NOT QUARNEL_WINDOWS_TESTS) OR EMSCRIPTEN OR NOT QUARNEL_TESTS)
        set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
        return()
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    # A cross-built test lists its cases when CTest runs (under the emulator, whose start is slow on a busy
    # machine), not while it is built.
    set(discovery_timeout 60)
    if(CMAKE_CROSSCOMPILING)
        set(discovery DISCOVERY_MODE PRE_TEST)
        set(discovery_timeout 600)
    endif()
    gtest_discover_tests(${name} ${discovery}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
        DISCOVERY_TIMEOUT ${discovery_timeout})
    # The environment is set once the cases are listed, by a script of our own that CTest reads after the
    # listing's: the listing cannot carry a list-valued property (it kept only the first variable).
    # SERIAL: the cases share something of the display's (the pointer) and run alone.
    set(serial FALSE)
    if(ARG_SERIAL)
        set(serial TRUE)
    endif()
    set(properties ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${properties}
         "foreach(test IN LISTS ${name}_TESTS)\n"
         "    set_tests_properties(\"\${test}\" PROPERTIES\n"
         "        ENVIRONMENT [==[SDL_AUDIODRIVER=dummy;QUARNEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR}]==]\n"
         "        RUN_SERIAL ${serial})\n"
         "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
endfunction()

function(quarnel_e2e script)
    cmake_parse_arguments(ARG "SERIAL" "TIMEOUT;FIXTURE" "" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 900)
    endif()
    foreach(name ${ARG_UNPARSED_ARGUMENTS})
        add_test(NAME e2e.${name}
            COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/support/on_own_display.py
                    python3 ${CMAKE_SOURCE_DIR}/tests/${script} ${name})
        set_tests_properties(e2e.${name} PROPERTIES LABELS e2e TIMEOUT ${ARG_TIMEOUT}
            ENVIRONMENT "QUARNEL_BUILD_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy")
        if(ARG_SERIAL)
            set_tests_properties(e2e.${name} PROPERTIES RUN_SERIAL TRUE)
        endif()
        if(ARG_FIXTURE)
            set_tests_properties(e2e.${name} PROPERTIES FIXTURES_REQUIRED ${ARG_FIXTURE})
        endif()
    endforeach()
endfunction()

function(quarnel_show_data target)
    set_property(GLOBAL APPEND PROPERTY QUARNEL_SHOW_DATA ${target})
endfunction()

function(quarnel_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
    if(QUARNEL_FUZZ_COVERAGE)
        set(flags -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping)
    else()
        set(flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${flags})
    target_link_options(${name} PRIVATE ${flags})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
