# Cross toolchain: Windows with mingw-w64. WT_MINGW_ARCH picks the machine:
# i686 (the product, 32-bit) or x86_64 (the tests' build on a host that cannot
# run 32-bit code). The posix thread model compilers are needed for
# std::mutex, which GoogleTest uses.
if(NOT WT_MINGW_ARCH)
  set(WT_MINGW_ARCH i686)
endif()
# Sub-builds (libjpeg, try_compile) see the same machine.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WT_MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${WT_MINGW_ARCH})
set(triple ${WT_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
