# Cross side: the setup exe, the product's own payload programs, and the
# tests that run under Wine.
enable_language(RC)

# Every Windows program the build or CTest runs goes through the build tree's
# own Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${WT_WINE_RUN}")

add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800 NOMINMAX STRICT)
# System functions are declared without dllimport, so every call goes to the
# function's stub in its import library rather than straight through its
# __imp_ pointer. For shell32, shlwapi and ole32 that stub is the delay-load
# entry, and ld's 32-bit PE link drops any import stub that nothing calls by
# name, leaving the delay-import slot that points at it 0: the first call into
# the DLL then jumped to address 0. (The 64-bit link keeps the stubs.)
add_compile_definitions(DECLSPEC_IMPORT=)
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
add_link_options(-static -Wl,--gc-sections)

# Reproducible binaries: the same sources give the same bytes in any folder,
# on any day. No link time stamp in the PE header, and no folder paths
# (__FILE__ in asserts): GCC tries the last map first, and the build folder may
# lie inside the source folder. The host build fixes SOURCE_DATE_EPOCH.
set(WT_PREFIX_MAPS -ffile-prefix-map=${WT_TOP}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
foreach(map IN LISTS WT_PREFIX_MAPS)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${map}>")
endforeach()
add_link_options(-Wl,--no-insert-timestamp)

# Authenticode: with a certificate (WT_SIGN_PKCS12) a program is signed in
# place right after its link, before anything packs or copies it. With the
# signatures of a release instead (WT_SIGN_SIGNATURES, scripts/check-release.sh)
# each program gets back the very signature the release gave these bytes.
function(wt_sign target description)
  if(WT_SIGN_SIGNATURES)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND "${WT_PYTHON}" "${WT_TOP}/scripts/authenticode.py" attach "${WT_SIGN_SIGNATURES}" "$<TARGET_FILE:${target}>"
      VERBATIM)
  elseif(WT_SIGN_PKCS12)
    # A password from the environment stays out of the build files.
    set(env)
    if(NOT WT_SIGN_PASSWORD STREQUAL "")
      set(env "${CMAKE_COMMAND}" -E env "WT_SIGN_PASSWORD=${WT_SIGN_PASSWORD}")
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${env} "${WT_TOP}/cmake/sign.sh" "${WT_SIGN_PKCS12}" "${WT_SIGN_TIMESTAMP_URL}" "${description}"
              "$<TARGET_FILE:${target}>"
      VERBATIM)
  endif()
endfunction()

# The folder of a library's source that scripts/install-deps.sh unpacked into
# third_party/ (name-*, holding the file marker), in var; the last version wins.
function(wt_third_party_source var name marker)
  file(GLOB candidates LIST_DIRECTORIES true "${WT_TOP}/third_party/${name}-*")
  set(found "")
  foreach(candidate IN LISTS candidates)
    if(IS_DIRECTORY "${candidate}" AND EXISTS "${candidate}/${marker}")
      set(found "${candidate}")
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "No ${name} source in ${WT_TOP}/third_party: run scripts/install-deps.sh")
  endif()
  set(${var} "${found}" PARENT_SCOPE)
endfunction()

# The whole of zlib, for the tests' own use (a PNG writer needs its CRC).
find_library(WT_ZLIB NAMES libz.a REQUIRED)
include(cmake/zlib.cmake)
include(cmake/libjpeg.cmake)

# At load time setup and its uninstaller import only DLLs that the system
# loads before any other and knows on every supported Windows (kernel32,
# user32, gdi32, advapi32, msvcrt; comctl32 through the manifest). shell32,
# shlwapi and ole32 are delay-loaded instead, from the system folder, after the
# first line of WinMain has limited where DLLs come from (dll_search_win.cpp).
# Each delay-import library is made here from the toolchain's own import
# library, so that it covers every function of the DLL.
set(WT_DELAY_LOADED)
set(delay_dir "${CMAKE_BINARY_DIR}/delay-load")
file(MAKE_DIRECTORY "${delay_dir}")
# The import library holds one "__imp_" pointer per function; on i686 the name
# has one more underscore in front and its argument bytes behind ("Name@8").
if(WT_MINGW_ARCH STREQUAL "i686")
  set(pointer "__imp__")
else()
  set(pointer "__imp_")
endif()
foreach(dll shell32 shlwapi ole32)
  find_library(WT_IMPORTS_${dll} NAMES lib${dll}.a REQUIRED)
  execute_process(COMMAND "${CMAKE_NM}" -g "${WT_IMPORTS_${dll}}" OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL " I ${pointer}[^\n]+" names "${symbols}")
  list(TRANSFORM names REPLACE "^ I ${pointer}" "")
  list(REMOVE_DUPLICATES names)
  list(JOIN names "\n" names)
  file(WRITE "${delay_dir}/${dll}.def" "LIBRARY ${dll}.dll\nEXPORTS\n${names}\n")
  execute_process(COMMAND "${CMAKE_DLLTOOL}" --input-def ${dll}.def --dllname ${dll}.dll --kill-at
                          --output-delaylib lib${dll}_delayed.a --temp-prefix ${dll}
                  WORKING_DIRECTORY "${delay_dir}" COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND WT_DELAY_LOADED "${delay_dir}/lib${dll}_delayed.a")
endforeach()
# Setup's and the uninstaller's link: stripped, and terminal-server aware, so
# that a terminal server gives them no per-user copies of system files and keys.
set(WT_PROGRAM_LINK_OPTIONS -s -Wl,--tsaware)

# Product code shared by the exe and the Windows tests: everything under
# wrentide_setup/ except the native-only shims, the payload and the entry point.
file(GLOB_RECURSE WT_CORE_SOURCES CONFIGURE_DEPENDS "${WT_TOP}/wrentide_setup/*.cpp")
list(FILTER WT_CORE_SOURCES EXCLUDE REGEX "_posix\\.cpp$|/payload/|/uninstall/|/main_win\\.cpp$|/lean_runtime_win\\.cpp$|/stats_ping_win\\.cpp$")
# The entry point of every build of the exe, and its trims of the C++ runtime,
# which the tests' GoogleTest programs keep whole.
set(WT_EXE_SOURCES "${WT_TOP}/wrentide_setup/main_win.cpp" "${WT_TOP}/wrentide_setup/lean_runtime_win.cpp")
add_library(wt_core STATIC ${WT_CORE_SOURCES})
target_include_directories(wt_core PUBLIC "${WT_TOP}")
target_link_libraries(wt_core PUBLIC wt_inflate comctl32 ${WT_DELAY_LOADED} advapi32 gdi32 user32)
target_link_libraries(wt_core PUBLIC wt_jpeg)

# The statistics endpoint is compiled in. Tests link a variant that points at
# a server of their own on loopback, so no test sends traffic off the machine.
set(WT_E2E_STATS_PORT "47511" CACHE STRING "Loopback port of the statistics server the tests run")
function(wt_stats_endpoint name host port)
  add_library(${name} OBJECT "${WT_TOP}/wrentide_setup/stats/stats_ping_win.cpp")
  target_include_directories(${name} PRIVATE "${WT_TOP}")
  target_compile_definitions(${name} PRIVATE WRENTIDE_STATS_HOST="${host}" WRENTIDE_STATS_PORT=${port})
endfunction()
wt_stats_endpoint(wt_stats_product "${WRENTIDE_STATS_HOST}" "${WRENTIDE_STATS_PORT}")
wt_stats_endpoint(wt_stats_loopback "localhost" "${WT_E2E_STATS_PORT}")

add_subdirectory(wrentide_setup/payload)

# Icons, manifest, version information, banner and licence: shared with the
# Windows tests, which build the real window.
add_library(wt_setup_resources OBJECT "${WT_TOP}/wrentide_setup/wrentide_setup.rc")
file(GLOB WT_ARTWORK CONFIGURE_DEPENDS "${WT_TOP}/wrentide_setup/payload/artwork/*")
set_source_files_properties("${WT_TOP}/wrentide_setup/wrentide_setup.rc" PROPERTIES
  OBJECT_DEPENDS "${WT_ARTWORK};${WT_TOP}/wrentide_setup/wrentide_setup.manifest;${WT_TOP}/wrentide_setup/version.h")

add_executable(wrentide_setup WIN32 ${WT_EXE_SOURCES})
target_link_libraries(wrentide_setup PRIVATE wt_core wt_stats_product wt_payload wt_setup_resources)
# The link map tells the benchmark what each library adds to the exe.
target_link_options(wrentide_setup PRIVATE ${WT_PROGRAM_LINK_OPTIONS} "-Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/wrentide_setup.map")
set_target_properties(wrentide_setup PROPERTIES OUTPUT_NAME wrentide_setup)
wt_sign(wrentide_setup "WrenTide Setup")

# The same exe with its statistics request sent to the tests' loopback server.
add_executable(wrentide_setup_loopback WIN32 ${WT_EXE_SOURCES})
target_link_libraries(wrentide_setup_loopback PRIVATE wt_core wt_stats_loopback wt_payload wt_setup_resources)
target_link_options(wrentide_setup_loopback PRIVATE ${WT_PROGRAM_LINK_OPTIONS})

option(WT_BUILD_TESTS "Build the tests that run under Wine" ON)
if(WT_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
  add_subdirectory(tests/e2e)
endif()
