# Vectors and matrices, the 3D Studio reader with its mesh model, their tests, tool, benchmark and fuzz target.
quarnel_library(quarnel_math
    SOURCES math/vec.cpp)

quarnel_test(quarnel_math_tests
    SOURCES tests/math/vec_test.cpp
    LIBS quarnel_math
    LABELS unit)

quarnel_library(quarnel_model
    SOURCES assets/mesh_model.cpp assets/model3ds.cpp
    LIBS quarnel_math quarnel_output_file)

quarnel_test(quarnel_mesh_model_tests
    SOURCES tests/assets/mesh_model_test.cpp
    LIBS quarnel_model quarnel_math
    LABELS unit)

quarnel_test(quarnel_model3ds_tests
    SOURCES tests/assets/model3ds_reader_test.cpp
    LIBS quarnel_model quarnel_math
    LABELS unit)

find_library(QUARNEL_LIB3DS 3ds)
if(QUARNEL_LIB3DS)
    quarnel_test(quarnel_model3ds_lib3ds_tests
        SOURCES tests/assets/model3ds_lib3ds_test.cpp
        LIBS quarnel_model quarnel_math ${QUARNEL_LIB3DS}
        LABELS unit)
endif()

if(QUARNEL_LINUX)  # the tool's test starts it as a POSIX process
    add_executable(3ds-info tools/3ds_info.cpp)
    target_link_libraries(3ds-info PRIVATE quarnel_model quarnel_math)
    set_target_properties(3ds-info PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})

    quarnel_test(quarnel_model3ds_info_tests
        SOURCES tests/assets/model3ds_info_test.cpp
        LABELS unit)
    add_dependencies(quarnel_model3ds_info_tests 3ds-info)
endif()
# Where the regression files and the tool are, for runs without the test environment variables.
foreach(test_target quarnel_model3ds_tests quarnel_model3ds_info_tests)
    if(TARGET ${test_target})
        target_compile_definitions(${test_target} PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                                          QUARNEL_TEST_BUILD_DIR="${CMAKE_BINARY_DIR}")
    endif()
endforeach()

if(QUARNEL_BENCH)
    add_executable(model3ds_bench bench/model3ds_bench.cpp)
    target_link_libraries(model3ds_bench PRIVATE quarnel_model quarnel_math benchmark::benchmark)
endif()

if(QUARNEL_FUZZ)
    quarnel_fuzz_target(model3ds_fuzz
        SOURCES fuzz/model3ds_fuzz.cpp assets/model3ds.cpp assets/mesh_model.cpp math/vec.cpp
                platform/input_file.cpp)
endif()
