# Building for the browser with Debian's emscripten: its own platform file, found where the package puts
# it, with no threads (they would need special server headers) and the libraries searched in the cross
# prefix (CMAKE_FIND_ROOT_PATH) only.
set(QUARNEL_EMSCRIPTEN_ROOT /usr/share/emscripten CACHE PATH "Where Debian's emscripten package lives")
include(${QUARNEL_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
