# The Debian package (scripts/package runs cpack): the installed tree under /usr, the programs
# stripped, the dependencies computed from the binaries by dpkg-shlibdeps, plus the plug-ins Qt
# loads at run time (no binary names them).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ormensura)
set(CPACK_PACKAGE_VENDOR "ORVEN Imaging")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image resizer with a full-size preview and batch mode")
# Debian's long description: lines under 80 characters; cpack indents each by one space.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "ORVEN Mensura resizes images: a new size in pixels, in percent or as a print"
  "size at a resolution, one of eight resampling algorithms, a preview at 100 %"
  "and saving. Three algorithms of its own restore hard edges when an image is"
  "enlarged. Many files are resized at once in batch mode, each with its own"
  "target size."
  "."
  "ormensura-cli does the same work for scripts and file managers' actions.")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # ormensura_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ORVEN Imaging <support@orvenimaging.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.orvenimaging.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The launcher is written at install time for its final prefix (/usr), not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# After the staging install: what Debian's policy asks of the tree (compressed manual pages
# and changelog, the copyright file, permissions).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianTree.cmake)
set(ORM_DEBIAN_FILES ${CMAKE_SOURCE_DIR}/share/debian)
set(CPACK_ORM_DEBIAN_FILES ${ORM_DEBIAN_FILES})
# scripts/package builds everything first (bootstrap); cpack itself only installs what is built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
