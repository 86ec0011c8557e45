# SPDX-License-Identifier: MIT
# The copyright file and the changelog, installed with the programs, and one
# Debian package with both programs, their manual pages and those two files:
#   cmake --build --preset default && cpack --preset default
# The package is reproducible: its files are dated SOURCE_DATE_EPOCH (see
# deb-config.cmake), owned by root, with the modes Debian expects whatever
# the builder's umask, and its programs are stripped.
include(GNUInstallDirs)

# The maintainer field; a packager sets their own with -DCPACK_PACKAGE_CONTACT=...
set(CPACK_PACKAGE_CONTACT "oscsenders developers <oscsenders@example.org>"
    CACHE STRING "Maintainer of the Debian package")

# The copyright file and the changelog, where Debian looks for them.
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/oscsenders)
add_custom_command(OUTPUT changelog.gz
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=changelog
        -DPACKAGE=oscsenders -DMAINTAINER=${CPACK_PACKAGE_CONTACT}
        -P ${PROJECT_SOURCE_DIR}/cmake/deb-changelog.cmake
    COMMAND gzip -9n -f changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/deb-changelog.cmake
    COMMENT "Writing the changelog"
    VERBATIM)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
# burstcast linked with the shared liblo carries none of liblo's code: its
# copyright file then leaves out the paragraphs that speak of that code.
file(READ ${PROJECT_SOURCE_DIR}/cmake/deb-copyright copyright)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/deb-copyright)
if(NOT BURSTCAST_LIBLO STREQUAL static)
  string(REGEX REPLACE "\nComment:.*\n\nFiles: \\*" "\n\nFiles: *" copyright "${copyright}")
  string(REGEX REPLACE "\n\nFiles: usr/bin/burstcast.*\n\nLicense: Expat" "\n\nLicense: Expat" copyright "${copyright}")
  string(REGEX REPLACE "\n\nLicense: LGPL.*" "\n" copyright "${copyright}")
endif()
file(WRITE ${PROJECT_BINARY_DIR}/copyright "${copyright}")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${docdir})
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${docdir})

if(CMAKE_VERSION VERSION_LESS 3.19)
  message(STATUS "package: the Debian package needs CMake 3.19 or later, and this is ${CMAKE_VERSION}; the programs and their pages build and install without it")
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oscsenders)
set(CPACK_PACKAGE_VENDOR "oscsenders developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OSC test senders: burstcast (load) and pacecast (steady signal)")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Two console programs for people who build and test Open Sound Control
receivers. Both send the same fixed, exactly known sequence of OSC 1.0
messages over UDP to 127.0.0.1 port 10000, then stream two messages per
cycle until stopped: burstcast as fast as it can, to load a receiver,
and pacecast every 100 ms, as a steady test signal. With -q either one
sends a single /quit message and exits.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OSCSENDERS_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/deb-config.cmake)

# Installed-Size by dpkg's rule and, where burstcast carries liblo, the
# Built-Using field that names liblo's source, read as the package is made.
set(CPACK_OSCSENDERS_LIBLO_STATIC "")
if(BURSTCAST_LIBLO STREQUAL static)
  set(CPACK_OSCSENDERS_LIBLO_STATIC ${LIBLO_STATIC})
endif()
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb-finish.cmake)
include(CPack)
