# Debian package of the whole installation (folivex, folivexc, folivex-view,
# help.exe, the desktop entry and the icon): cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME "folivex")
set(CPACK_PACKAGE_VENDOR "Tessaroke")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Authoring wizard that turns a folder of HTML pages into one e-book program")
set(CPACK_PACKAGE_DESCRIPTION
    "Folivex lists the HTML pages of a project folder, lets the author order them and
choose how the book presents itself, and builds one Windows e-book executable.
It contains the wizard (folivex), the command-line builder (folivexc), the Linux
viewer for e-books (folivex-view) and the user guide (help.exe).")
set(CPACK_PACKAGE_CONTACT "Tessaroke <support@example.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "text")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
find_program(FOLIVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(FOLIVEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6gui6, libqt6core6, zlib1g")
endif()
set(CPACK_GENERATOR "DEB")
include(CPack)
