# Velmora installed as a Linux desktop program (cmake --install, and the Debian package CPack
# makes of it): velmora-tool, the sample themes and the default config.txt that the player reads
# where the user has none of their own, the manual page and a desktop entry.
include(GNUInstallDirs)

install(TARGETS velmora-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The themes as folders only: each archive beside its folder would list every theme twice.
foreach(name IN LISTS VELMORA_SAMPLE_THEME_NAMES)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/themes/${name} DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora/themes
    FILES_MATCHING PATTERN "*.txt" PATTERN "*.png")
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/config.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)
# The manual page compressed, as Debian keeps them (gzip -n: the same bytes at every build).
set(velmora_manual ${CMAKE_BINARY_DIR}/velmora-tool.1.gz)
add_custom_command(
  OUTPUT ${velmora_manual}
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/packaging/linux/velmora-tool.1 ${velmora_manual}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/linux/velmora-tool.1
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(velmora_manual ALL DEPENDS ${velmora_manual})
install(FILES ${velmora_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# cpack --preset deb: velmora_VERSION_ARCH.deb, its Depends found by dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora developers <velmora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated pixel-art desktop wallpaper player")
set(CPACK_PACKAGE_DESCRIPTION "Plays layered pixel-art scenes (themes) as the wallpaper of an X11 desktop, with the theme artist's tools: check, render, trace, new.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
