# The bundled sample themes (every folder of themes/), each also packed as a .zip archive so that
# both kinds of theme source can be tried with them. The archives' members lie at their root, as
# the player expects. The target sample_theme_zip writes them all.
#
#   VELMORA_SAMPLE_THEME_NAMES    the themes' entry names (their folders in themes/)
#   VELMORA_SAMPLE_THEME_ZIPS     the archives, in the same order
#   VELMORA_SAMPLE_THEME_NAME     the first sample theme, Lantern Valley (config.txt's default)
#   VELMORA_SAMPLE_THEME_DIR      its folder in the source tree
#   VELMORA_SAMPLE_THEME_ZIP      its archive
set(VELMORA_SAMPLE_THEME_NAME VMA_Lantern_Valley CACHE INTERNAL "Entry name of the sample theme")
set(VELMORA_SAMPLE_THEME_DIR ${CMAKE_SOURCE_DIR}/themes/${VELMORA_SAMPLE_THEME_NAME} CACHE INTERNAL "Sample theme folder")
set(VELMORA_SAMPLE_THEME_ZIP ${CMAKE_BINARY_DIR}/themes/${VELMORA_SAMPLE_THEME_NAME}.zip CACHE INTERNAL "Sample theme archive")

file(GLOB velmora_theme_dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/themes/*)
list(SORT velmora_theme_dirs)
set(velmora_names "")
set(velmora_zips "")
foreach(dir IN LISTS velmora_theme_dirs)
  if(NOT IS_DIRECTORY ${dir})
    continue()
  endif()
  get_filename_component(name ${dir} NAME)
  set(zip ${CMAKE_BINARY_DIR}/themes/${name}.zip)
  file(GLOB files CONFIGURE_DEPENDS RELATIVE ${dir} ${dir}/*.txt ${dir}/*.png)
  list(SORT files)
  list(TRANSFORM files PREPEND ${dir}/ OUTPUT_VARIABLE paths)
  add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/themes
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip "--mtime=2020-01-01 00:00:00 UTC" ${files}
    WORKING_DIRECTORY ${dir}
    DEPENDS ${paths}
    COMMENT "Packing the sample theme ${name}.zip"
    VERBATIM)
  list(APPEND velmora_names ${name})
  list(APPEND velmora_zips ${zip})
endforeach()
set(VELMORA_SAMPLE_THEME_NAMES "${velmora_names}" CACHE INTERNAL "Entry names of the sample themes")
set(VELMORA_SAMPLE_THEME_ZIPS "${velmora_zips}" CACHE INTERNAL "Archives of the sample themes")
add_custom_target(sample_theme_zip ALL DEPENDS ${velmora_zips})
