# SPDX-License-Identifier: MIT
# Read by cpack before it packages. It stops, with what to install, where a
# tool the package needs is missing: without file and dpkg-shlibdeps, CPack
# would make a package with no Depends. It dates the package's files from
# SOURCE_DATE_EPOCH, the last commit's time when that is unset.
foreach(tool file dpkg-shlibdeps dpkg-deb)
  find_program(tool_path_${tool} ${tool})
  if(NOT tool_path_${tool})
    message(FATAL_ERROR "package: ${tool} missing; on Debian, scripts/setup --package installs it "
        "(packages file and dpkg-dev)")
  endif()
endforeach()
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  execute_process(
      COMMAND git -C ${CPACK_OSCSENDERS_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
