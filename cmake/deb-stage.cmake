# SPDX-License-Identifier: MIT
# Run by CPack once the package's files are staged: strips the programs of
# their symbols and of the sections a program does not need at run time
# (.comment, the compiler's name), as a Debian package ships them.
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  execute_process(
      COMMAND ${CPACK_OSCSENDERS_STRIP} --strip-unneeded --remove-section=.comment ${program}
      COMMAND_ERROR_IS_FATAL ANY)
endforeach()
