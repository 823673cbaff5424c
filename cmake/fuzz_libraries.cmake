# The fuzz build's zlib and libpng: compiled here from Debian's sources (fetched by
# scripts/setup.sh into .deps/zlib and .deps/libpng) with the fuzzer's coverage and the
# sanitizers, so that the fuzz targets see inside the inflater and the PNG decoder rather than
# calling the system's uninstrumented libraries. ZLIB::ZLIB and PkgConfig::LIBPNG then name these.
# The versions are Debian's own, so the system's cairo, which the executables also load, can use
# them in place of its own.
if(WIN32 OR NOT VELMORA_FUZZ)
  return()
endif()

set(VELMORA_ZLIB_DIR ${CMAKE_SOURCE_DIR}/.deps/zlib)
set(VELMORA_LIBPNG_DIR ${CMAKE_SOURCE_DIR}/.deps/libpng)
if(NOT EXISTS ${VELMORA_ZLIB_DIR}/inflate.c OR NOT EXISTS ${VELMORA_LIBPNG_DIR}/scripts/pnglibconf.h.prebuilt)
  message(FATAL_ERROR
    "zlib or libpng sources not found in ${CMAKE_SOURCE_DIR}/.deps. "
    "Run scripts/setup.sh --tests, which fetches Debian's sources.")
endif()

# Third-party code: built as it is, its warnings are not ours to turn into errors.
add_library(velmora_zlib STATIC
  adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c infback.c inffast.c
  inflate.c inftrees.c trees.c uncompr.c zutil.c)
get_target_property(zlib_sources velmora_zlib SOURCES)
list(TRANSFORM zlib_sources PREPEND ${VELMORA_ZLIB_DIR}/)
set_target_properties(velmora_zlib PROPERTIES SOURCES "${zlib_sources}")
target_include_directories(velmora_zlib SYSTEM PUBLIC ${VELMORA_ZLIB_DIR})
target_compile_definitions(velmora_zlib PRIVATE _LARGEFILE64_SOURCE=1 HAVE_UNISTD_H HAVE_STDARG_H)
target_compile_options(velmora_zlib PRIVATE -w)
add_library(ZLIB::ZLIB ALIAS velmora_zlib)

set(libpng_sources png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c
  pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c)
list(TRANSFORM libpng_sources PREPEND ${VELMORA_LIBPNG_DIR}/)
# The configuration libpng ships for a default build.
configure_file(${VELMORA_LIBPNG_DIR}/scripts/pnglibconf.h.prebuilt ${CMAKE_BINARY_DIR}/libpng/pnglibconf.h COPYONLY)
add_library(velmora_libpng STATIC ${libpng_sources})
target_include_directories(velmora_libpng SYSTEM PUBLIC ${VELMORA_LIBPNG_DIR} ${CMAKE_BINARY_DIR}/libpng)
target_compile_options(velmora_libpng PRIVATE -w)
target_link_libraries(velmora_libpng PUBLIC velmora_zlib m)
add_library(PkgConfig::LIBPNG ALIAS velmora_libpng)
