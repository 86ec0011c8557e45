# SPDX-License-Identifier: MIT
# Read by cpack before it packages. It stops, with what to install, where a
# tool the package needs is missing: without file and dpkg-shlibdeps, CPack
# would make a package with no Depends. It dates the package's files from
# SOURCE_DATE_EPOCH; when that is unset, from the last commit's time or,
# without git (a source tarball), from the newest release's date in
# CHANGELOG.md: never from the clock, so that two builds agree.
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
  if(NOT epoch MATCHES "^[0-9]+$")
    file(STRINGS ${CPACK_OSCSENDERS_SOURCE_DIR}/CHANGELOG.md release REGEX "^## .* UTC\\)$" LIMIT_COUNT 1)
    string(REGEX REPLACE ".*\\((.*)\\)" "\\1" release "${release}")
    execute_process(COMMAND date -u -d "${release}" +%s
        OUTPUT_VARIABLE epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "package: SOURCE_DATE_EPOCH is unset, and neither git nor CHANGELOG.md gives a date")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
