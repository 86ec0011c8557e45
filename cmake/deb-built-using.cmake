# SPDX-License-Identifier: MIT
# Run by cpack once it has made the .deb: adds the Built-Using field, which
# CPack has no setting for, and builds the package once more with dpkg-deb.
# Modes, dates and owners stay as CPack made them.
foreach(deb ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND dpkg-deb -R ${deb} ${deb}.tree COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${deb}.tree/DEBIAN/control control)
  string(STRIP "${control}" control)
  file(WRITE ${deb}.tree/DEBIAN/control "${control}\nBuilt-Using: ${CPACK_OSCSENDERS_BUILT_USING}\n")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${deb}.tree ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${deb}.tree)
endforeach()
