# Host side: build tools, native tests, and the cross build as a sub-build.
include(ExternalProject)
enable_testing()

find_package(ZLIB REQUIRED)

set(WT_WINE_ROOT "${CMAKE_BINARY_DIR}/wine")
configure_file(cmake/wine-run.sh.in "${CMAKE_BINARY_DIR}/wine-run" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

add_subdirectory(tools)
add_subdirectory(tests/native)
add_subdirectory(tests/native/fuzz)

set(WT_WIN_BINARY_DIR "${CMAKE_BINARY_DIR}/win")
ExternalProject_Add(win
  SOURCE_DIR "${CMAKE_SOURCE_DIR}"
  BINARY_DIR "${WT_WIN_BINARY_DIR}"
  CMAKE_ARGS
    -G "${CMAKE_GENERATOR}"
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=MinSizeRel
    -DWT_HOST_BINARY_DIR=${CMAKE_BINARY_DIR}
    -DWT_PACK=$<TARGET_FILE:wt_pack>
    -DWT_GENDATA=$<TARGET_FILE:wt_gendata>
    -DWT_WINE_RUN=${CMAKE_BINARY_DIR}/wine-run
    -DWRENTIDE_STATS_HOST=${WRENTIDE_STATS_HOST}
    -DWRENTIDE_STATS_PORT=${WRENTIDE_STATS_PORT}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  DEPENDS wt_pack wt_gendata
  USES_TERMINAL_BUILD ON)

# One CTest run covers the native and the Windows tests.
file(WRITE "${CMAKE_BINARY_DIR}/win-tests.cmake" "subdirs(\"${WT_WIN_BINARY_DIR}\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/win-tests.cmake")
