# Cross side: the setup exe, the product's own payload programs, and the
# tests that run under Wine.
enable_language(RC)

# Every Windows program the build or CTest runs goes through the build tree's
# own Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${WT_WINE_RUN}")

add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800 NOMINMAX STRICT)
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
add_link_options(-static -Wl,--gc-sections)

find_library(WT_ZLIB NAMES libz.a REQUIRED)

# Product code shared by the exe and the Windows tests: everything under
# wrentide_setup/ except the native-only shims, the payload and the entry point.
file(GLOB_RECURSE WT_CORE_SOURCES CONFIGURE_DEPENDS "${WT_TOP}/wrentide_setup/*.cpp")
list(FILTER WT_CORE_SOURCES EXCLUDE REGEX "_posix\\.cpp$|/payload/|/main_win\\.cpp$")
add_library(wt_core STATIC ${WT_CORE_SOURCES})
target_include_directories(wt_core PUBLIC "${WT_TOP}")
target_compile_definitions(wt_core PRIVATE
  WRENTIDE_STATS_HOST="${WRENTIDE_STATS_HOST}" WRENTIDE_STATS_PORT=${WRENTIDE_STATS_PORT})
target_link_libraries(wt_core PUBLIC ${WT_ZLIB} comctl32 shell32 ole32 uuid advapi32 gdi32 user32)

add_subdirectory(wrentide_setup/payload)

add_executable(wrentide_setup WIN32 "${WT_TOP}/wrentide_setup/main_win.cpp")
target_link_libraries(wrentide_setup PRIVATE wt_core wt_payload)
target_link_options(wrentide_setup PRIVATE -s)
set_target_properties(wrentide_setup PROPERTIES OUTPUT_NAME wrentide_setup)

enable_testing()
add_subdirectory(tests/windows)
