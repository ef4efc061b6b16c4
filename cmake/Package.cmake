# `make package`: a Debian package of what cmake/Install.cmake installs. dpkg-shlibdeps finds
# the libraries it needs; the Qt platform plugins and libpq (for a catalogue shared on a
# PostgreSQL server) are loaded at run time, so they are named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME katalox)
set(CPACK_PACKAGE_VENDOR "Katalox Team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk catalogue: find on which disk a file lies")
set(CPACK_PACKAGE_DESCRIPTION
  "Katalox keeps a catalogue of the files found on disks, folders and\n"
  "removable media. A scan lists every matching file of a folder tree under\n"
  "a label, the Disk ID, and stores its name, full path and size in an\n"
  "SQLite catalogue. Later the files are found by name, extension, path and\n"
  "Disk ID without the disk being present.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Katalox Team <team@katalox.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://katalox.example.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libpq5)
include(CPack)
