# The runnable program folder of the Windows build, ${CMAKE_BINARY_DIR}/velmora (built by default:
# velmora.exe, velmora-tool.exe, config.txt, readme.txt and themes/ with the sample themes as
# folders and as archives), and the release archive dist/velmora-windows.zip (target package_zip).
#
# The rules are made at the end of the top-level directory, once the tool and the sample themes'
# archives (defined after this folder) exist.

function(velmora_define_packaging)
  set(program_dir ${CMAKE_BINARY_DIR}/velmora)
  set(stamp ${CMAKE_BINARY_DIR}/packaging/program_folder.stamp)
  set(readme ${CMAKE_BINARY_DIR}/packaging/readme.txt)
  set(config ${CMAKE_SOURCE_DIR}/config.txt)

  # readme.txt is packaging/readme.txt with the theme guide docs/themes.md as its "Making themes"
  # section: the guide is written once.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(
    OUTPUT ${readme}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_readme.py
            ${CMAKE_SOURCE_DIR}/packaging/readme.txt ${CMAKE_SOURCE_DIR}/docs/themes.md ${readme}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/readme.txt ${CMAKE_SOURCE_DIR}/docs/themes.md
            ${CMAKE_SOURCE_DIR}/scripts/make_readme.py
    COMMENT "Writing readme.txt with the theme guide"
    VERBATIM)

  set(files $<TARGET_FILE:velmora>)
  set(depends velmora ${readme})
  if(TARGET velmora-tool)
    list(APPEND files $<TARGET_FILE:velmora-tool>)
    list(APPEND depends velmora-tool)
  endif()
  set(texts ${readme})
  if(EXISTS ${config})
    list(APPEND texts ${config})
    list(APPEND depends ${config})
  endif()

  # Every theme folder of the repository, as a folder; and as an archive: the sample themes'
  # archives when their rules exist, otherwise archives packed here.
  file(GLOB theme_dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/themes/*)
  list(FILTER theme_dirs EXCLUDE REGEX "\\.[^/]*$")
  set(theme_zips "")
  foreach(dir IN LISTS theme_dirs)
    if(NOT IS_DIRECTORY ${dir})
      list(REMOVE_ITEM theme_dirs ${dir})
      continue()
    endif()
    get_filename_component(name ${dir} NAME)
    file(GLOB members CONFIGURE_DEPENDS RELATIVE ${dir} ${dir}/*)
    list(SORT members)
    list(TRANSFORM members PREPEND ${dir}/ OUTPUT_VARIABLE member_paths)
    list(APPEND depends ${member_paths})
    list(FIND VELMORA_SAMPLE_THEME_NAMES "${name}" index)
    if(TARGET sample_theme_zip AND index GREATER -1)
      list(GET VELMORA_SAMPLE_THEME_ZIPS ${index} zip)
      list(APPEND theme_zips ${zip})
      list(APPEND depends sample_theme_zip ${zip})
    else()
      set(zip ${CMAKE_BINARY_DIR}/packaging/themes/${name}.zip)
      add_custom_command(
        OUTPUT ${zip}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/themes
        COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
        COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip "--mtime=2020-07-01 00:00:00 UTC" ${members}
        WORKING_DIRECTORY ${dir}
        DEPENDS ${member_paths}
        COMMENT "Packing the theme ${name}.zip"
        VERBATIM)
      list(APPEND theme_zips ${zip})
      list(APPEND depends ${zip})
    endif()
  endforeach()

  string(REPLACE ";" "|" files_arg "${files}")
  string(REPLACE ";" "|" texts_arg "${texts}")
  string(REPLACE ";" "|" theme_dirs_arg "${theme_dirs}")
  string(REPLACE ";" "|" theme_zips_arg "${theme_zips}")
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -D OUT_DIR=${program_dir} -D FILES=${files_arg} -D TEXTS=${texts_arg}
            -D THEME_DIRS=${theme_dirs_arg} -D THEME_ZIPS=${theme_zips_arg} -D STAMP=${stamp}
            -P ${CMAKE_SOURCE_DIR}/packaging/assemble_program.cmake
    DEPENDS ${depends} ${CMAKE_SOURCE_DIR}/packaging/assemble_program.cmake
    COMMENT "Assembling the program folder ${program_dir}"
    VERBATIM)
  add_custom_target(velmora_program_folder ALL DEPENDS ${stamp})

  # The release archive holds the program folder as the folder "velmora". config.txt is required.
  set(zip ${CMAKE_SOURCE_DIR}/dist/velmora-windows.zip)
  add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_SOURCE_DIR}/dist
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip "--mtime=2020-07-01 00:00:00 UTC" velmora
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${stamp} ${config}
    COMMENT "Packing ${zip}"
    VERBATIM)
  add_custom_target(package_zip DEPENDS ${zip})
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL velmora_define_packaging)
