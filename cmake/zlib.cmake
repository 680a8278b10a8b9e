# zlib for the exe: only its inflate, from Debian's zlib source (fetched into
# third_party/ by scripts/install-deps.sh). Built here with sections of its own,
# so that the exe's --gc-sections keeps only what setup calls, and without gzip
# decoding (NO_GZIP), which would bring the CRC tables along for headers that
# setup's zlib streams never have. Exposes the target wt_inflate.
file(GLOB WT_ZLIB_CANDIDATES LIST_DIRECTORIES true "${WT_TOP}/third_party/zlib-*")
set(WT_ZLIB_SOURCE_DIR "")
foreach(candidate IN LISTS WT_ZLIB_CANDIDATES)
  if(IS_DIRECTORY "${candidate}" AND EXISTS "${candidate}/inflate.c")
    set(WT_ZLIB_SOURCE_DIR "${candidate}")
  endif()
endforeach()
if(NOT WT_ZLIB_SOURCE_DIR)
  message(FATAL_ERROR "No zlib source in ${WT_TOP}/third_party: run scripts/install-deps.sh")
endif()

add_library(wt_inflate STATIC)
target_sources(wt_inflate PRIVATE
  "${WT_ZLIB_SOURCE_DIR}/adler32.c" "${WT_ZLIB_SOURCE_DIR}/inffast.c" "${WT_ZLIB_SOURCE_DIR}/inflate.c"
  "${WT_ZLIB_SOURCE_DIR}/inftrees.c" "${WT_ZLIB_SOURCE_DIR}/zutil.c")
target_include_directories(wt_inflate SYSTEM PUBLIC "${WT_ZLIB_SOURCE_DIR}")
target_compile_definitions(wt_inflate PRIVATE NO_GZIP)
# zlib's own code, as its authors write it, and optimised as its own build does:
# at -O2 it is 6 KB smaller in the exe but inflates a third slower.
target_compile_options(wt_inflate PRIVATE -w -O3)
