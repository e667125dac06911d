# What an install puts where (GNUInstallDirs), and the Debian package CPack makes
# of it. Included from the top-level list once every program is defined.
include(GNUInstallDirs)

set(_dist ${CMAKE_CURRENT_LIST_DIR})
set(TAVRIX_ICON_SIZES 16 32 48 64 128 256)
set(TAVRIX_MAN_PAGES tavrix-pvrd tavrix-pvr tavrix-convert)

install(TARGETS tavrix tavrix-pvrd tavrix-pvr tavrix-convert
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_dist}/tavrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_dist}/icons/tavrix.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${TAVRIX_ICON_SIZES})
    install(FILES ${_dist}/icons/tavrix-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tavrix.png)
endforeach()

# Man pages go out compressed, as Debian's policy wants; -n keeps the file's
# name and time out of the archive, so the same page makes the same bytes.
find_program(TAVRIX_GZIP gzip REQUIRED)
set(_manPages)
foreach(page ${TAVRIX_MAN_PAGES})
    set(_out ${CMAKE_BINARY_DIR}/man/${page}.1)
    add_custom_command(OUTPUT ${_out}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${_dist}/man/${page}.1 ${_out}
        COMMAND ${TAVRIX_GZIP} -9nf ${_out}
        DEPENDS ${_dist}/man/${page}.1
        VERBATIM)
    list(APPEND _manPages ${_out}.gz)
endforeach()
add_custom_target(tavrix_man_pages ALL DEPENDS ${_manPages})
install(FILES ${_manPages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrix)
set(CPACK_PACKAGE_VENDOR Tavrix)
set(CPACK_PACKAGE_CONTACT "Tavrix developers <devel@tavrix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC companion of a USB video recorder (Vexlo)")
# Debian's control file wants the long description in lines of under 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Vexlo is a four-pane file manager for a USB personal video recorder (PVR):\n"
    "the PC's folders above, the recorder's below. It moves files and recordings\n"
    "both ways with overwrite or resume, creates, renames and deletes files and\n"
    "folders on either side, shows the recorder's model and disk usage, upgrades\n"
    "its software and converts its recordings into MPEG-2 program streams.\n"
    "\n"
    "Also included: tavrix-pvr, the recorder from the command line;\n"
    "tavrix-convert, recording conversion; and tavrix-pvrd, a recorder emulator\n"
    "that serves a folder as the recorder's disk.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The demo disk of tavrix-pvrd is made with ffmpeg; Qt runs on Wayland natively
# with its plugin, and through XWayland without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
# dpkg-shlibdeps names every library package with the version the programs were
# built against. Without it, the Qt 6 runtime packages are named by hand; the
# X11 platform plugin comes with libqt6gui6.
find_program(TAVRIX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TAVRIX_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(_qt ">= ${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR}")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6 (${_qt}), libqt6gui6 (${_qt}), libqt6core6 (${_qt}), libstdc++6, libc6")
endif()
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)

# Checks of the install and the package, run by CTest.
add_test(NAME install_tree
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
            -DWORK_DIR=${CMAKE_BINARY_DIR}/test-install
            "-DICON_SIZES=${TAVRIX_ICON_SIZES}" "-DMAN_PAGES=${TAVRIX_MAN_PAGES}"
            -P ${_dist}/check-install.cmake)
add_test(NAME man_pages_match_usage
    COMMAND ${CMAKE_COMMAND} -DMAN_DIR=${_dist}/man
            "-DPROGRAMS=$<TARGET_FILE:tavrix-pvrd>;$<TARGET_FILE:tavrix-pvr>;$<TARGET_FILE:tavrix-convert>"
            -P ${_dist}/check-man-pages.cmake)
find_program(TAVRIX_DPKG_DEB dpkg-deb)
if(TAVRIX_DPKG_DEB)
    add_test(NAME debian_package
        COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                -DWORK_DIR=${CMAKE_BINARY_DIR}/test-package -DDPKG_DEB=${TAVRIX_DPKG_DEB}
                -P ${_dist}/check-package.cmake)
    # Both install the build, which rewrites its install_manifest.txt.
    set_tests_properties(install_tree debian_package PROPERTIES RESOURCE_LOCK tavrix_install)
endif()
find_program(TAVRIX_DESKTOP_FILE_VALIDATE desktop-file-validate)
if(TAVRIX_DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop_file COMMAND ${TAVRIX_DESKTOP_FILE_VALIDATE} ${_dist}/tavrix.desktop)
    # It ends with 0 on warnings too.
    set_tests_properties(desktop_file PROPERTIES FAIL_REGULAR_EXPRESSION "error|warning")
else()
    add_test(NAME desktop_file
        COMMAND ${CMAKE_COMMAND} -E echo "desktop-file-validate not found: not checked")
    set_tests_properties(desktop_file PROPERTIES SKIP_REGULAR_EXPRESSION "not found")
endif()
