# Debian package: cpack -G DEB in the build directory makes
# sizewalk_<version>_<arch>.deb from everything the project installs.
# Included at the end of the top-level CMakeLists.txt, after every target.
include(GNUInstallDirs)

if(NOT TARGET sizewalk)
  message(STATUS "Packaging: no sizewalk target yet; the package holds only the desktop files")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sizewalk)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Sizewalk developers")
set(CPACK_PACKAGE_CONTACT "Sizewalk developers <maintainers@sizewalk.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shows where disk space goes")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME sizewalk)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The long description; CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sizewalk walks a start directory and shows an expandable tree of every
directory below it, labelled with the total size of everything it holds,
in megabytes, kilobytes or bytes. It only reads the disk: it writes no
files and keeps no settings.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Dependencies come from the libraries the binary links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# No homepage: the project has none.
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

if(SIZEWALK_TESTS)
  add_test(NAME package.deb
           COMMAND bash "${PROJECT_SOURCE_DIR}/tests/res/check_package.sh"
                   "${PROJECT_BINARY_DIR}" "${PROJECT_BINARY_DIR}/package-check"
                   "${PROJECT_VERSION}" "$<TARGET_EXISTS:sizewalk>")
  set_tests_properties(package.deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
