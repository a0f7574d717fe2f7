# What `cmake --install` puts where, and the Debian package CPack makes of
# it (`cpack -G DEB` in the build folder):
#   bin/klx-saver                                  the program
#   libexec/xscreensaver/klx-saver                 a link to it, where XScreenSaver looks for hacks
#   share/xscreensaver/config/klx-saver.xml        its options in XScreenSaver's settings
#   share/applications/klx-saver-settings.desktop  "3D Screensaver Settings"
#   share/icons/hicolor/scalable/apps/klx-saver.svg
#   share/man/man6/klx-saver.6.gz
#   share/doc/klx-saver/copyright, changelog.gz
include(GNUInstallDirs)

set(dist ${PROJECT_SOURCE_DIR}/dist)
set(dist_out ${CMAKE_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${dist_out})

# Compressed as Debian keeps manual pages and change logs (no time stamp,
# so the package is the same from build to build).
foreach(pair IN ITEMS klx-saver.6:klx-saver.6.gz changelog:changelog.gz)
  string(REPLACE ":" ";" parts ${pair})
  list(GET parts 0 source)
  list(GET parts 1 packed)
  add_custom_command(OUTPUT ${dist_out}/${packed}
    COMMAND gzip -9nc ${dist}/${source} > ${dist_out}/${packed}
    DEPENDS ${dist}/${source}
    COMMENT "Compressing ${source}")
  list(APPEND dist_packed ${dist_out}/${packed})
endforeach()
add_custom_target(klx_dist ALL DEPENDS ${dist_packed})

# The link is relative, so it holds under any prefix.
file(CREATE_LINK ../../${CMAKE_INSTALL_BINDIR}/klx-saver ${dist_out}/klx-saver SYMBOLIC)

install(TARGETS klx-saver RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${dist_out}/klx-saver DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${dist}/klx-saver.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${dist}/klx-saver-settings.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist}/klx-saver.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${dist_out}/klx-saver.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${dist}/copyright ${dist_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/klx-saver)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME klx-saver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KLX developers <klx@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D screensaver: a valley with a lake at the end of the day")
# The extended description, after the summary line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "A looping 3D scene with animated and skinned models, particles, water with\nreflection and refraction, swaying grass, shadows, music and positional\nsound, cut between camera views with a fade through black. It runs full\nscreen on every display, as a display mode of XScreenSaver, or in a host's\npreview window, and has its own settings dialog.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Libraries the program links come from dpkg-shlibdeps. Those it loads at
# run time are named here: the GL library (libepoxy opens it), and OpenAL
# Soft and libvorbisfile (the audio library linked into the program is
# written out and loaded at start).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libopenal1, libvorbisfile3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver, xscreensaver-gl")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
