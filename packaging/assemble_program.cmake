# Assembles the runnable program folder of the Windows build (cmake -P script).
#
#   -D OUT_DIR=...        the folder to (re)build
#   -D FILES=a|b|...      program files copied as they are (velmora.exe, velmora-tool.exe)
#   -D TEXTS=a|b|...      text files copied with CR LF line ends (readme.txt, config.txt)
#   -D THEME_DIRS=a|b|... theme folders copied into themes/
#   -D THEME_ZIPS=a|b|... theme archives copied into themes/
#   -D STAMP=...          file touched when done
cmake_minimum_required(VERSION 3.25)

foreach(name FILES TEXTS THEME_DIRS THEME_ZIPS)
  string(REPLACE "|" ";" ${name} "${${name}}")
endforeach()

file(REMOVE_RECURSE "${OUT_DIR}")
file(MAKE_DIRECTORY "${OUT_DIR}/themes")

foreach(path IN LISTS FILES)
  file(COPY "${path}" DESTINATION "${OUT_DIR}")
endforeach()

# Notepad and the other Windows text tools expect CR LF.
foreach(path IN LISTS TEXTS)
  file(READ "${path}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  get_filename_component(name "${path}" NAME)
  file(WRITE "${OUT_DIR}/${name}" "${text}")
endforeach()

foreach(path IN LISTS THEME_DIRS)
  file(COPY "${path}" DESTINATION "${OUT_DIR}/themes")
endforeach()
foreach(path IN LISTS THEME_ZIPS)
  file(COPY "${path}" DESTINATION "${OUT_DIR}/themes")
endforeach()

file(TOUCH "${STAMP}")
