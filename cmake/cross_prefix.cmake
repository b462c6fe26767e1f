# The libraries of a cross build (Windows, the browser) come from the prefix scripts/cross/build-libs.sh
# installed them into, as static archives found through their pkg-config files; zlib, which libpng and
# FreeType both use, goes last on every link line.
#   quarnel_use_cross_prefix(TARGET_NAME)   TARGET_NAME as build-libs.sh knows it (win64, web)
macro(quarnel_use_cross_prefix target_name)
    set(QUARNEL_CROSS_PREFIX "" CACHE PATH "Where scripts/cross/build-libs.sh ${target_name} installed the libraries")
    if(NOT IS_DIRECTORY "${QUARNEL_CROSS_PREFIX}/lib")
        message(FATAL_ERROR "QUARNEL_CROSS_PREFIX must name the libraries' prefix (the target's build script sets it)")
    endif()
    list(APPEND CMAKE_FIND_ROOT_PATH ${QUARNEL_CROSS_PREFIX})
    list(APPEND CMAKE_PREFIX_PATH ${QUARNEL_CROSS_PREFIX})
    set(ENV{PKG_CONFIG_LIBDIR} ${QUARNEL_CROSS_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
    set(PKG_CONFIG_ARGN --static)
    set(CMAKE_CXX_STANDARD_LIBRARIES "${CMAKE_CXX_STANDARD_LIBRARIES} ${QUARNEL_CROSS_PREFIX}/lib/libz.a")
    # Build paths stay out of the program (assertion texts name their source files).
    add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endmacro()
