# Host side: build tools, native tests, the checks on the built exe, and the
# cross builds as sub-builds.
include(ExternalProject)
enable_testing()

find_package(ZLIB REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The product is 32-bit, and the tests under Wine run it wherever Wine can
# start a 32-bit program: natively, or through qemu-user where the kernel
# refuses them (scripts/install-deps.sh sets that up). Only where it cannot
# do they use a 64-bit build of the same sources, and CI then fails.
# Asked again at every configure, so that installing wine32 takes effect; only
# a WT_TEST_ARCH given on the command line overrides the answer.
# Debian's 32-bit Wine loader, from wine32:i386.
if(NOT DEFINED WT_WINE32_LOADER)
  set(WT_WINE32_LOADER /usr/lib/wine/wine)
endif()
get_property(arch_help CACHE WT_TEST_ARCH PROPERTY HELPSTRING)
if(arch_help MATCHES "^Machine of the cross build")
  unset(WT_TEST_ARCH CACHE)  # the answer an earlier configure cached
endif()
if(DEFINED CACHE{WT_TEST_ARCH})
  set(arch_why "since WT_TEST_ARCH=${WT_TEST_ARCH} was given on the command line")
elseif(NOT EXISTS "${WT_WINE32_LOADER}")
  set(WT_TEST_ARCH x86_64)
  set(arch_why "since wine32 is not installed (Debian package wine32:i386; scripts/install-deps.sh installs it)")
else()
  # Through bash, whose message names the kernel's refusal ("Exec format
  # error") where a direct start would fall back to reading it as a script.
  execute_process(COMMAND bash -c "exec \"$0\" --version" "${WT_WINE32_LOADER}" RESULT_VARIABLE wine32_result
                  OUTPUT_VARIABLE wine32_out ERROR_VARIABLE wine32_err)
  # An enabled entry for i386 programs comes before the kernel's own loader:
  # every 32-bit program then runs through qemu-user, as install-deps.sh sets
  # it up where the kernel refuses them.
  set(qemu_entry /proc/sys/fs/binfmt_misc/qemu-i386)
  set(qemu_state "")
  if(EXISTS "${qemu_entry}")
    file(STRINGS "${qemu_entry}" qemu_state LIMIT_COUNT 1)
  endif()
  if(wine32_result EQUAL 0 AND qemu_state STREQUAL "enabled")
    set(WT_TEST_ARCH i686)
    set(arch_why "through qemu-user (this kernel cannot start 32-bit programs)")
  elseif(wine32_result EQUAL 0)
    set(WT_TEST_ARCH i686)
    set(arch_why "since wine32 is installed and this host starts 32-bit programs")
  else()
    string(STRIP "${wine32_err}${wine32_out}" wine32_err)
    string(REGEX MATCH "^[^\n]*" wine32_err "${wine32_err}")
    set(WT_TEST_ARCH x86_64)
    string(CONCAT arch_why "since wine32 is installed, but this host cannot start a 32-bit process "
                  "(exit ${wine32_result}): ${wine32_err}; scripts/install-deps.sh runs them through qemu-user")
  endif()
endif()
if(WT_TEST_ARCH STREQUAL "x86_64")
  message(WARNING "The tests under Wine run a 64-bit build of the same sources, not the exe we ship, and the "
                  "32-bit prefix's run is left out, ${arch_why}")
endif()
# One line for the scripts and CI to repeat: which build the tests under Wine
# run, and why.
set(arch_line "Tests under Wine: the ${WT_TEST_ARCH} build, ${arch_why}")
file(WRITE "${CMAKE_BINARY_DIR}/test-arch" "${arch_line}\n")
message(STATUS "${arch_line}")
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

# Tools that read SOURCE_DATE_EPOCH (GCC's __DATE__ and __TIME__) see a fixed
# one, so the binaries never depend on the day of the build.
set(WT_SOURCE_DATE_EPOCH 0)

# Authenticode signing of the product: a cache variable, or else the
# environment variable of the same name when configuring. The password may
# also come from the build's environment only, which keeps it out of files.
set(sign_args)
foreach(setting WT_SIGN_PKCS12 WT_SIGN_PASSWORD WT_SIGN_TIMESTAMP_URL WT_SIGN_SIGNATURES)
  set(value "${${setting}}")
  if(value STREQUAL "" AND NOT setting STREQUAL "WT_SIGN_PASSWORD")
    set(value "$ENV{${setting}}")
  endif()
  set(sign_${setting} "${value}")
  list(APPEND sign_args "-D${setting}=${value}")
endforeach()
if(sign_WT_SIGN_SIGNATURES)
  if(sign_WT_SIGN_PKCS12)
    message(FATAL_ERROR "WT_SIGN_PKCS12 and WT_SIGN_SIGNATURES: sign, or put back a release's signatures, not both")
  endif()
  message(STATUS "Signing: the release's signatures in ${sign_WT_SIGN_SIGNATURES} are put back")
elseif(sign_WT_SIGN_PKCS12)
  if(NOT EXISTS "${sign_WT_SIGN_PKCS12}")
    message(FATAL_ERROR "WT_SIGN_PKCS12: no such certificate file: ${sign_WT_SIGN_PKCS12}")
  endif()
  find_program(WT_OSSLSIGNCODE osslsigncode)
  if(NOT WT_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode: run scripts/install-deps.sh")
  endif()
  if(sign_WT_SIGN_TIMESTAMP_URL)
    set(stamp "time-stamped by ${sign_WT_SIGN_TIMESTAMP_URL}")
  else()
    set(stamp "without a time stamp")
  endif()
  message(STATUS "Signing: wrentide_setup.exe and the payload programs are signed with "
                 "${sign_WT_SIGN_PKCS12}, ${stamp}")
else()
  message(STATUS "Signing: no certificate (WT_SIGN_PKCS12), the build is unsigned")
endif()

# One cross build of this tree for a mingw-w64 machine; extra arguments are
# cache settings of that build.
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
      -DWT_PYTHON=${Python3_EXECUTABLE}
      -DWRENTIDE_STATS_HOST=${WRENTIDE_STATS_HOST}
      -DWRENTIDE_STATS_PORT=${WRENTIDE_STATS_PORT}
      ${ARGN}
    BUILD_COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=${WT_SOURCE_DATE_EPOCH} "${CMAKE_COMMAND}" --build <BINARY_DIR>
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS wt_pack wt_gendata
    USES_TERMINAL_BUILD ON)
endfunction()

# The product: build/win/wrentide_setup.exe.
set(WT_WIN_BINARY_DIR "${CMAKE_BINARY_DIR}/win")
if(WT_TEST_ARCH STREQUAL "i686")
  wt_cross_build(win i686 ON ${sign_args})
  set(WT_TEST_BINARY_DIR "${WT_WIN_BINARY_DIR}")
else()
  wt_cross_build(win i686 OFF ${sign_args})
  wt_cross_build(win64 x86_64 ON)
  set(WT_TEST_BINARY_DIR "${CMAKE_BINARY_DIR}/win64")
endif()
file(WRITE "${CMAKE_BINARY_DIR}/test-tree" "${WT_TEST_BINARY_DIR}\n")

# Last of every build: the product's hash, to compare with a published one.
add_custom_target(exe_sha256 ALL
  COMMAND "${CMAKE_COMMAND}" -DFILE=${WT_WIN_BINARY_DIR}/wrentide_setup.exe -P "${CMAKE_SOURCE_DIR}/cmake/sha256.cmake"
  VERBATIM)
add_dependencies(exe_sha256 win)
if(TARGET win64)
  add_dependencies(exe_sha256 win64)
endif()

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
# A copy signed with a throwaway certificate: it verifies, is still the whole
# setup exe and the unsigned build plus a signature; damaged, it does not.
add_test(NAME exe.signing COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tests/windows/check_signing.py" "${exe}" "${files}")
# And it installs under Wine: a copy of the tests' build of the exe, signed
# the same way, installed by the end-to-end driver.
add_test(NAME e2e.signed.InstallsEveryFileAsBuilt
         COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tests/windows/signed_install.py" "${CMAKE_BINARY_DIR}/wine-run"
                 "${WT_TEST_BINARY_DIR}/tests/e2e/wt_e2e_signed.exe" "${WT_TEST_BINARY_DIR}/wrentide_setup_loopback.exe")
set_tests_properties(e2e.signed.InstallsEveryFileAsBuilt PROPERTIES TIMEOUT 300)

# The set-up script against a mirror out of step, with apt stood in for.
add_test(NAME rig.install_deps COMMAND bash "${CMAKE_SOURCE_DIR}/tests/rig/install_deps_test.sh")
# CI's proof that the tests ran the shipped exe, on made-up results.
add_test(NAME rig.check_shipped_tested COMMAND bash "${CMAKE_SOURCE_DIR}/tests/rig/check_shipped_tested_test.sh")
# The program's folders depend one way, down the flow of an install.
add_test(NAME rig.layers COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tests/rig/check_layers.py")
