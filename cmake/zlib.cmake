# zlib for the exe: only its inflate, from Debian's zlib source (fetched into
# third_party/ by scripts/install-deps.sh). Built here with sections of its own,
# so that the exe's --gc-sections keeps only what setup calls, and without gzip
# decoding (NO_GZIP), which would bring the CRC tables along for headers that
# setup's zlib streams never have. Exposes the target wt_inflate.
wt_third_party_source(WT_ZLIB_SOURCE_DIR zlib inflate.c)

add_library(wt_inflate STATIC)
target_sources(wt_inflate PRIVATE
  "${WT_ZLIB_SOURCE_DIR}/adler32.c" "${WT_ZLIB_SOURCE_DIR}/inffast.c" "${WT_ZLIB_SOURCE_DIR}/inflate.c"
  "${WT_ZLIB_SOURCE_DIR}/inftrees.c" "${WT_ZLIB_SOURCE_DIR}/zutil.c")
target_include_directories(wt_inflate SYSTEM PUBLIC "${WT_ZLIB_SOURCE_DIR}")
target_compile_definitions(wt_inflate PRIVATE NO_GZIP)
# zlib's own code, as its authors write it, and optimised as its own build does:
# at -O2 it is 6 KB smaller in the exe but inflates a third slower.
target_compile_options(wt_inflate PRIVATE -w -O3)
