# One Debian package with both programs and their manual pages:
#   cmake --build --preset default && cpack --preset default
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oscsenders)
set(CPACK_PACKAGE_VENDOR "oscsenders developers")
# The maintainer field; a packager sets their own with -DCPACK_PACKAGE_CONTACT=...
set(CPACK_PACKAGE_CONTACT "oscsenders developers <oscsenders@localhost>"
    CACHE STRING "Maintainer of the Debian package")
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
include(CPack)
