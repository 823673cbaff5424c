# The bundled sample theme, also packed as a .zip archive so that both kinds of theme source
# can be tried with it. The archive's members lie at its root, as the player expects.
#
#   VELMORA_SAMPLE_THEME_NAME     the theme's entry name (its folder in themes/)
#   VELMORA_SAMPLE_THEME_DIR      the theme folder in the source tree
#   VELMORA_SAMPLE_THEME_ZIP      the archive the target sample_theme_zip writes
set(VELMORA_SAMPLE_THEME_NAME VMA_Lantern_Valley CACHE INTERNAL "Entry name of the sample theme")
set(VELMORA_SAMPLE_THEME_DIR ${CMAKE_SOURCE_DIR}/themes/${VELMORA_SAMPLE_THEME_NAME} CACHE INTERNAL "Sample theme folder")
set(VELMORA_SAMPLE_THEME_ZIP ${CMAKE_BINARY_DIR}/themes/${VELMORA_SAMPLE_THEME_NAME}.zip CACHE INTERNAL "Sample theme archive")

file(GLOB velmora_sample_theme_files CONFIGURE_DEPENDS RELATIVE ${VELMORA_SAMPLE_THEME_DIR}
  ${VELMORA_SAMPLE_THEME_DIR}/*.txt ${VELMORA_SAMPLE_THEME_DIR}/*.png)
list(SORT velmora_sample_theme_files)
list(TRANSFORM velmora_sample_theme_files PREPEND ${VELMORA_SAMPLE_THEME_DIR}/ OUTPUT_VARIABLE velmora_sample_theme_paths)

add_custom_command(
  OUTPUT ${VELMORA_SAMPLE_THEME_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/themes
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VELMORA_SAMPLE_THEME_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${VELMORA_SAMPLE_THEME_ZIP} --format=zip "--mtime=2020-01-01 00:00:00 UTC"
          ${velmora_sample_theme_files}
  WORKING_DIRECTORY ${VELMORA_SAMPLE_THEME_DIR}
  DEPENDS ${velmora_sample_theme_paths}
  COMMENT "Packing the sample theme ${VELMORA_SAMPLE_THEME_NAME}.zip"
  VERBATIM)
add_custom_target(sample_theme_zip ALL DEPENDS ${VELMORA_SAMPLE_THEME_ZIP})
