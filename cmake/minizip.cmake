# Archive reading: minizip over zlib, linked into the resources layer, with the file functions minizip
# opens archives with chosen per platform, and the platform's way of opening only regular files.
#
# Linux: Debian's system minizip (pkg-config "minizip") and zlib; the fuzz build compiles minizip
# and zlib from Debian's zlib sources (cmake/fuzz_libraries.cmake), as the Windows build does.
# Windows: minizip compiled here from Debian's zlib sources (fetched by scripts/setup.sh into
# .deps/zlib) against the MinGW-w64 zlib.

if(WIN32)
  set(VELMORA_MINIZIP_DIR ${CMAKE_SOURCE_DIR}/.deps/zlib/contrib/minizip)
  if(NOT EXISTS ${VELMORA_MINIZIP_DIR}/unzip.c OR NOT EXISTS ${VELMORA_MINIZIP_DIR}/iowin32.c)
    message(FATAL_ERROR
      "minizip sources not found in ${VELMORA_MINIZIP_DIR}. "
      "Run scripts/setup.sh, which fetches Debian's zlib sources into .deps/zlib.")
  endif()
  find_library(VELMORA_MINGW_ZLIB NAMES libz.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH)
  if(NOT VELMORA_MINGW_ZLIB)
    find_library(VELMORA_MINGW_ZLIB NAMES libz.a z REQUIRED)
  endif()

  # Third-party code: built as it is, its warnings are not ours to turn into errors.
  add_library(velmora_minizip STATIC
    ${VELMORA_MINIZIP_DIR}/unzip.c
    ${VELMORA_MINIZIP_DIR}/ioapi.c
    ${VELMORA_MINIZIP_DIR}/iowin32.c)
  target_include_directories(velmora_minizip SYSTEM PUBLIC ${VELMORA_MINIZIP_DIR})
  target_compile_options(velmora_minizip PRIVATE -w)
  target_link_libraries(velmora_minizip PUBLIC ${VELMORA_MINGW_ZLIB})

  target_sources(velmora_resources PRIVATE ${CMAKE_SOURCE_DIR}/src/platform/archive/archive_file_win32.cpp
                                           ${CMAKE_SOURCE_DIR}/src/platform/archive/input_file_win32.cpp)
  target_link_libraries(velmora_resources PUBLIC velmora_minizip)

else()
  if(NOT TARGET ZLIB::ZLIB)
    find_package(ZLIB REQUIRED)
  endif()
  target_sources(velmora_resources PRIVATE ${CMAKE_SOURCE_DIR}/src/platform/archive/archive_file_posix.cpp
                                           ${CMAKE_SOURCE_DIR}/src/platform/archive/input_file_posix.cpp)
  if(VELMORA_FUZZ)
    # minizip reads a byte at a time through these functions (some 80 thousand calls to look at
    # one entry whose extra field claims 64 KiB): traced comparisons in them made such inputs
    # take most of a second. They are plain reads and seeks, tested on their own; the sanitizers
    # stay on.
    set_source_files_properties(${CMAKE_SOURCE_DIR}/src/platform/archive/archive_file_posix.cpp PROPERTIES
                                COMPILE_OPTIONS "-fno-sanitize-coverage=trace-cmp,indirect-calls")
  endif()
  set(VELMORA_MINIZIP_DIR ${CMAKE_SOURCE_DIR}/.deps/zlib/contrib/minizip)
  if(VELMORA_FUZZ AND EXISTS ${VELMORA_MINIZIP_DIR}/unzip.c)
    # The fuzz targets look into minizip as well: the same sources as Debian's library, compiled
    # here with the fuzzer's coverage and the sanitizers.
    add_library(velmora_minizip STATIC ${VELMORA_MINIZIP_DIR}/unzip.c ${VELMORA_MINIZIP_DIR}/ioapi.c)
    target_include_directories(velmora_minizip SYSTEM PUBLIC ${VELMORA_MINIZIP_DIR})
    target_compile_definitions(velmora_minizip PRIVATE _LARGEFILE64_SOURCE=1)
    target_compile_options(velmora_minizip PRIVATE -w)
    target_link_libraries(velmora_minizip PUBLIC ZLIB::ZLIB)
    target_link_libraries(velmora_resources PUBLIC velmora_minizip ZLIB::ZLIB)
  else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(VELMORA_MINIZIP REQUIRED IMPORTED_TARGET minizip)
    target_link_libraries(velmora_resources PUBLIC PkgConfig::VELMORA_MINIZIP ZLIB::ZLIB)
  endif()
endif()
