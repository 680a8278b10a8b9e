# Host side: build tools, native tests, the checks on the built exe, and the
# cross builds as sub-builds.
include(ExternalProject)
enable_testing()

find_package(ZLIB REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The product is 32-bit. Where this host cannot run 32-bit code at all (some
# virtual machines lack the 32-bit mode), Wine cannot start it, so the tests
# that run under Wine use a 64-bit build of the same sources instead.
if(NOT DEFINED WT_TEST_ARCH)
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine32_result OUTPUT_QUIET ERROR_QUIET)
  if(wine32_result EQUAL 0)
    set(arch i686)
  else()
    set(arch x86_64)
    message(WARNING "This host cannot run 32-bit programs: the tests under Wine run a 64-bit build "
                    "of the same sources, and the 32-bit prefix's run is left out.")
  endif()
  set(WT_TEST_ARCH ${arch} CACHE STRING "Machine of the cross build whose tests run under Wine (i686 or x86_64)")
endif()
if(WT_TEST_ARCH STREQUAL "i686")
  set(WT_WINE wine)
else()
  set(WT_WINE /usr/lib/wine/wine64)
endif()

set(WT_WINE_ROOT "${CMAKE_BINARY_DIR}/wine")
configure_file(cmake/wine-run.sh.in "${CMAKE_BINARY_DIR}/wine-run" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

add_subdirectory(tools)
add_subdirectory(tests/native)
add_subdirectory(tests/native/fuzz)

# One cross build of this tree for a mingw-w64 machine.
function(wt_cross_build name arch with_tests)
  ExternalProject_Add(${name}
    SOURCE_DIR "${CMAKE_SOURCE_DIR}"
    BINARY_DIR "${CMAKE_BINARY_DIR}/${name}"
    CMAKE_ARGS
      -G "${CMAKE_GENERATOR}"
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw.cmake
      -DWT_MINGW_ARCH=${arch}
      -DWT_BUILD_TESTS=${with_tests}
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
endfunction()

# The product: build/win/wrentide_setup.exe.
set(WT_WIN_BINARY_DIR "${CMAKE_BINARY_DIR}/win")
if(WT_TEST_ARCH STREQUAL "i686")
  wt_cross_build(win i686 ON)
  set(WT_TEST_BINARY_DIR "${WT_WIN_BINARY_DIR}")
else()
  wt_cross_build(win i686 OFF)
  wt_cross_build(win64 x86_64 ON)
  set(WT_TEST_BINARY_DIR "${CMAKE_BINARY_DIR}/win64")
endif()
file(WRITE "${CMAKE_BINARY_DIR}/test-tree" "${WT_TEST_BINARY_DIR}\n")

# One CTest run covers the native tests, the checks on the product exe, and
# the tests under Wine.
file(WRITE "${CMAKE_BINARY_DIR}/win-tests.cmake" "subdirs(\"${WT_TEST_BINARY_DIR}\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/win-tests.cmake")

# What Wine cannot show is checked on the product's file itself, by the host's
# own interpreter (through Wine its exit status would be lost).
set(exe "${WT_WIN_BINARY_DIR}/wrentide_setup.exe")
set(files "${WT_WIN_BINARY_DIR}/wrentide_setup/payload/files")
add_test(NAME exe.checks COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tests/windows/check_exe.py" "${exe}" "${files}")
# The same check on damaged copies: it must report each damage.
add_test(NAME exe.checks_catch_damage
         COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tests/windows/check_exe_damaged.py" "${exe}" "${files}")
