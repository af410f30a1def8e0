# zlib comes from Debian's mingw-w64 package; libjpeg is built from Debian's
# source package by scripts/build-libjpeg.sh into KORVELINK_DEPS.
set(KORVELINK_DEPS "${CMAKE_BINARY_DIR}/deps" CACHE PATH "Folder of the target's dependency builds")

find_library(ZLIB_STATIC NAMES libz.a REQUIRED)
find_path(ZLIB_INCLUDE NAMES zlib.h REQUIRED)
add_library(deps_zlib STATIC IMPORTED GLOBAL)
set_target_properties(deps_zlib PROPERTIES
    IMPORTED_LOCATION "${ZLIB_STATIC}"
    INTERFACE_INCLUDE_DIRECTORIES "${ZLIB_INCLUDE}")

set(_jpeg "${KORVELINK_DEPS}/libjpeg/install")
if(NOT EXISTS "${_jpeg}/lib/libjpeg.a")
    message(FATAL_ERROR "libjpeg missing: run scripts/setup.sh first")
endif()
add_library(deps_jpeg STATIC IMPORTED GLOBAL)
set_target_properties(deps_jpeg PROPERTIES
    IMPORTED_LOCATION "${_jpeg}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_jpeg}/include")

# GoogleTest from Debian's source package, built for the target.
set(GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)

# ctest starts every test executable through Wine in the private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-exec.sh")
