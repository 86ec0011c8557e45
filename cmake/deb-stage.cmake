# SPDX-License-Identifier: MIT
# Run by CPack once the package's files are staged. It stops packaging, with
# what to install, where a tool the package needs is missing: without file
# and dpkg-shlibdeps, CPack would make a package with no Depends. Then it
# strips the programs of their symbols and of the sections a program does not
# need at run time (.comment, the compiler's name), as a Debian package ships
# them.
set(missing "")
foreach(tool file dpkg-shlibdeps dpkg-deb)
  find_program(tool_path_${tool} ${tool})
  if(NOT tool_path_${tool})
    list(APPEND missing ${tool})
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "package: ${missing} missing; on Debian, scripts/setup --package installs them "
      "(packages file and dpkg-dev)")
endif()

file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  execute_process(
      COMMAND ${CPACK_OSCSENDERS_STRIP} --strip-unneeded --remove-section=.comment ${program}
      COMMAND_ERROR_IS_FATAL ANY)
endforeach()
