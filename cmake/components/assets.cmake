# assets/: the JPEG decoder, the 3D Studio reader and its mesh model: files in, pictures and meshes out,
# no GL and no system. Stands on math/. With the jpeg-decode and 3ds-info tools, their tests, benchmarks
# and fuzz targets.
quarnel_library(quarnel_assets
    SOURCES assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp assets/jpeg_output.cpp
            assets/jpeg_idct.cpp assets/mesh_model.cpp assets/model3ds.cpp
    LIBS quarnel_math)

quarnel_test(quarnel_mesh_model_tests
    SOURCES tests/assets/mesh_model_test.cpp
    LIBS quarnel_assets
    LABELS unit)
quarnel_test(quarnel_model3ds_tests
    SOURCES tests/assets/model3ds_reader_test.cpp
    LIBS quarnel_assets
    LABELS unit)
# Where the regression files are, for runs without the test environment variables.
target_compile_definitions(quarnel_model3ds_tests PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                                          QUARNEL_TEST_BUILD_DIR="${CMAKE_BINARY_DIR}")
find_library(QUARNEL_LIB3DS 3ds)
if(QUARNEL_LIB3DS)
    quarnel_test(quarnel_model3ds_lib3ds_tests
        SOURCES tests/assets/model3ds_lib3ds_test.cpp
        LIBS quarnel_assets ${QUARNEL_LIB3DS}
        LABELS unit)
endif()

if(QUARNEL_FUZZ)
    quarnel_fuzz_target(model3ds_fuzz
        SOURCES fuzz/model3ds_fuzz.cpp assets/model3ds.cpp assets/mesh_model.cpp math/vec.cpp)
    quarnel_fuzz_target(jpeg_fuzz
        SOURCES fuzz/jpeg_fuzz.cpp assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp
                assets/jpeg_output.cpp assets/jpeg_idct.cpp)
endif()

if(NOT QUARNEL_LINUX)
    return()  # the tools and the tests below stand on libjpeg-turbo and POSIX
endif()

add_executable(jpeg-decode tools/jpeg_decode.cpp)
target_link_libraries(jpeg-decode PRIVATE quarnel_assets quarnel_platform)
add_executable(3ds-info tools/3ds_info.cpp)
target_link_libraries(3ds-info PRIVATE quarnel_assets)
set_target_properties(jpeg-decode 3ds-info PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})

# Test pictures made with libjpeg-turbo, and reference decoding by it (tests, benchmark, fuzz corpus).
add_library(quarnel_jpeg_test_files STATIC tests/assets/jpeg_test_files.cpp)
target_link_libraries(quarnel_jpeg_test_files PUBLIC quarnel_assets JPEG::JPEG)

quarnel_test(jpeg_decoder_test
    SOURCES tests/assets/jpeg_decoder_test.cpp tests/assets/jpeg_errors_test.cpp tests/assets/jpeg_kernels_test.cpp
    LIBS quarnel_jpeg_test_files
    LABELS unit)
target_compile_definitions(jpeg_decoder_test PRIVATE
    JPEG_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/assets/data/jpeg"
    JPEG_DECODE_TOOL="${QUARNEL_TOOLS_DIR}/jpeg-decode")
add_dependencies(jpeg_decoder_test jpeg-decode)

quarnel_test(quarnel_model3ds_info_tests  # the tool's test starts it as a POSIX process
    SOURCES tests/assets/model3ds_info_test.cpp
    LABELS unit)
add_dependencies(quarnel_model3ds_info_tests 3ds-info)
target_compile_definitions(quarnel_model3ds_info_tests PRIVATE QUARNEL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                                              QUARNEL_TEST_BUILD_DIR="${CMAKE_BINARY_DIR}")

if(QUARNEL_BENCH)
    add_executable(jpeg_bench bench/jpeg_bench.cpp)
    target_link_libraries(jpeg_bench PRIVATE quarnel_jpeg_test_files benchmark::benchmark)
    # The pictures bench/jpeg-decode-bench.py times the tool on.
    add_executable(jpeg_tool_pictures bench/jpeg_tool_pictures.cpp)
    target_link_libraries(jpeg_tool_pictures PRIVATE quarnel_jpeg_test_files)
    add_executable(model3ds_bench bench/model3ds_bench.cpp)
    target_link_libraries(model3ds_bench PRIVATE quarnel_assets benchmark::benchmark)
endif()

if(QUARNEL_FUZZ)
    # Seed files from the tests' generator: jpeg_fuzz_corpus OUT_DIR.
    add_executable(jpeg_fuzz_corpus fuzz/jpeg/make_corpus.cpp)
    target_link_libraries(jpeg_fuzz_corpus PRIVATE quarnel_jpeg_test_files)
    set_target_properties(jpeg_fuzz_corpus PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endif()
