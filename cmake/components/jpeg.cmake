# The JPEG decoder, texture loading, the jpeg-decode tool, and their tests, benchmark and fuzz target.
quarnel_library(quarnel_jpeg
    SOURCES assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp assets/jpeg_output.cpp
            assets/jpeg_idct.cpp)
quarnel_library(quarnel_textures
    SOURCES assets/texture_loader.cpp
    LIBS quarnel_jpeg OpenGL::GL quarnel_platform)

if(NOT QUARNEL_LINUX)
    return()  # the tool and the tests stand on libjpeg-turbo and POSIX
endif()

add_executable(jpeg-decode tools/jpeg_decode.cpp)
target_link_libraries(jpeg-decode PRIVATE quarnel_jpeg quarnel_output_file)
set_target_properties(jpeg-decode PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARNEL_TOOLS_DIR})

# Test pictures made with libjpeg-turbo, and reference decoding by it (tests, benchmark, fuzz corpus).
add_library(quarnel_jpeg_test_files STATIC tests/assets/jpeg_test_files.cpp)
target_link_libraries(quarnel_jpeg_test_files PUBLIC quarnel_jpeg JPEG::JPEG)

quarnel_test(jpeg_decoder_test
    SOURCES tests/assets/jpeg_decoder_test.cpp tests/assets/jpeg_errors_test.cpp tests/assets/jpeg_kernels_test.cpp
    LIBS quarnel_jpeg_test_files quarnel_jpeg
    LABELS unit)
target_compile_definitions(jpeg_decoder_test PRIVATE
    JPEG_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/assets/data/jpeg"
    JPEG_DECODE_TOOL="${QUARNEL_TOOLS_DIR}/jpeg-decode")
add_dependencies(jpeg_decoder_test jpeg-decode)

quarnel_test(texture_loader_test
    SOURCES tests/assets/texture_loader_test.cpp
    LIBS quarnel_textures quarnel_jpeg_test_files quarnel_jpeg quarnel_gl_test_support quarnel_platform
    LABELS gl)

if(QUARNEL_BENCH)
    add_executable(jpeg_bench bench/jpeg_bench.cpp)
    target_link_libraries(jpeg_bench PRIVATE quarnel_jpeg_test_files quarnel_jpeg benchmark::benchmark)
    # The pictures scripts/jpeg-decode-bench.py times the tool on.
    add_executable(jpeg_tool_pictures bench/jpeg_tool_pictures.cpp)
    target_link_libraries(jpeg_tool_pictures PRIVATE quarnel_jpeg_test_files)
endif()

if(QUARNEL_FUZZ)
    quarnel_fuzz_target(jpeg_fuzz
        SOURCES fuzz/jpeg_fuzz.cpp assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp
                assets/jpeg_output.cpp assets/jpeg_idct.cpp)
    # Seed files from the tests' generator: jpeg_fuzz_corpus OUT_DIR.
    add_executable(jpeg_fuzz_corpus fuzz/jpeg/make_corpus.cpp)
    target_link_libraries(jpeg_fuzz_corpus PRIVATE quarnel_jpeg_test_files)
    set_target_properties(jpeg_fuzz_corpus PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endif()
