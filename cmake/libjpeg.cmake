# libjpeg for the exe: Debian's libjpeg-turbo source (fetched into third_party/ by
# scripts/install-deps.sh), cross-built as a static library with our own toolchain.
# Only the decoder is used; SIMD, TurboJPEG and arithmetic coding are left out to keep
# the download small. Exposes the imported target wt_jpeg.
include(ExternalProject)
list(JOIN WT_PREFIX_MAPS " " prefix_maps)

wt_third_party_source(WT_JPEG_SOURCE_DIR libjpeg-turbo jpeglib.h)

set(WT_JPEG_BINARY_DIR "${CMAKE_BINARY_DIR}/libjpeg")
set(WT_JPEG_LIBRARY "${WT_JPEG_BINARY_DIR}/libjpeg.a")

# The decoder of baseline pictures is all the banner needs: a copy of the source
# is configured without progressive decoding, scaled and legacy IDCTs, merged
# upsampling and colour quantization, which the library would otherwise carry.
set(WT_JPEG_TRIMMED_SOURCE "${CMAKE_BINARY_DIR}/libjpeg-src")
set(wt_jpeg_features
  D_PROGRESSIVE_SUPPORTED BLOCK_SMOOTHING_SUPPORTED IDCT_SCALING_SUPPORTED UPSAMPLE_MERGING_SUPPORTED
  QUANT_1PASS_SUPPORTED QUANT_2PASS_SUPPORTED DCT_IFAST_SUPPORTED DCT_FLOAT_SUPPORTED SAVE_MARKERS_SUPPORTED)
set(wt_jpeg_undefs)
foreach(feature IN LISTS wt_jpeg_features)
  list(APPEND wt_jpeg_undefs -e "s/^#define ${feature}\\b/#undef ${feature}/")
endforeach()

ExternalProject_Add(wt_jpeg_build
  SOURCE_DIR "${WT_JPEG_TRIMMED_SOURCE}"
  DOWNLOAD_COMMAND "${CMAKE_COMMAND}" -E copy_directory "${WT_JPEG_SOURCE_DIR}" "${WT_JPEG_TRIMMED_SOURCE}"
  PATCH_COMMAND sed -i ${wt_jpeg_undefs} "${WT_JPEG_TRIMMED_SOURCE}/jmorecfg.h"
  BINARY_DIR "${WT_JPEG_BINARY_DIR}"
  CMAKE_ARGS
    -G "${CMAKE_GENERATOR}"
    -DCMAKE_TOOLCHAIN_FILE=${WT_TOP}/cmake/mingw.cmake
    -DWT_MINGW_ARCH=${WT_MINGW_ARCH}
    -DCMAKE_BUILD_TYPE=MinSizeRel
    # Without a prefix its configure fails on a relative install path.
    -DCMAKE_INSTALL_PREFIX=${WT_JPEG_BINARY_DIR}/prefix
    # Its CMakeLists predates CMake 3.3; this only quiets a Ninja byproducts warning.
    -DCMAKE_POLICY_DEFAULT_CMP0058=NEW
    # Separate sections, so the exe's --gc-sections drops the encoder the library also carries;
    # no folder paths, as in the exe's own code. Its messages and its JPEGMEM setting use
    # the system's C library, not mingw's own printf and scanf (40 KB in the exe).
    "-DCMAKE_C_FLAGS=-ffunction-sections -fdata-sections -D__USE_MINGW_ANSI_STDIO=0 -DNO_GETENV ${prefix_maps}"
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DWITH_TURBOJPEG=OFF
    -DWITH_SIMD=OFF
    -DWITH_ARITH_ENC=OFF
    -DWITH_ARITH_DEC=OFF
    -DWITH_MEM_SRCDST=ON
  BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --target jpeg-static
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS "${WT_JPEG_LIBRARY}")

# jconfig.h is generated into the build folder; the imported target needs the folder
# to exist at generate time.
file(MAKE_DIRECTORY "${WT_JPEG_BINARY_DIR}")
add_library(wt_jpeg STATIC IMPORTED GLOBAL)
set_target_properties(wt_jpeg PROPERTIES
  IMPORTED_LOCATION "${WT_JPEG_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${WT_JPEG_SOURCE_DIR};${WT_JPEG_BINARY_DIR}")
# Whatever links wt_jpeg is built after the library (and sees its headers).
add_dependencies(wt_jpeg wt_jpeg_build)
