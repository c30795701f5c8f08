# The Debian package of what cmake/Install.cmake installs. In a configured and
# built folder: cpack -G DEB (scripts/package-check.sh makes and checks it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME merlax-bootloader)
# A native package: no Debian revision. The version is the project's, with
# a patch number always given.
if(PROJECT_VERSION_PATCH STREQUAL "")
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)
else()
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
endif()
# Each version needs its entry in the changelog the package carries.
file(STRINGS ${PROJECT_SOURCE_DIR}/data/doc/changelog MERLAX_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT MERLAX_CHANGELOG_HEAD MATCHES "^merlax-bootloader \\(${CPACK_PACKAGE_VERSION}\\) ")
    message(WARNING "data/doc/changelog does not start with an entry for ${CPACK_PACKAGE_VERSION}; "
                    "add one before making the package")
endif()

set(CPACK_PACKAGE_VENDOR "MERLAX Bootloader developers")
set(CPACK_PACKAGE_CONTACT "MERLAX Bootloader developers <bootloader@merlax.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program firmware into radio-control modules over a serial line")
# The extended description; CPack indents it and turns empty lines into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A service tool for small radio-control and stabilisation modules: flight
controllers, stabilisers, servo units and motor drivers. Every module carries
a bootloader that speaks a small binary protocol over a serial line. With this
tool you connect to a module, read its identity, load a firmware file, check
that it suits the module, erase and program it page by page, and restart it.

Started with --admin, as at a production station, the tool also gives modules
serial numbers and logs them in a serial-number database, and captures a
master module's encrypted firmware into a new firmware file.

The package also holds merlax-virtual-module, a simulated module on a
pseudo-terminal for trying the tool without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The architecture is dpkg's (CPack asks dpkg --print-architecture), and the
# dependencies are the shared libraries the programs link, found by
# dpkg-shlibdeps. No homepage: the project has no public site.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No maintainer scripts: dpkg triggers refresh the icon cache and the desktop
# and man-page databases.
include(CPack)
