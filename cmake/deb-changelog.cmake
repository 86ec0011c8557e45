# SPDX-License-Identifier: MIT
# Writes CHANGELOG.md as a Debian changelog, the form a package's
# changelog.gz takes:
#   cmake -DSOURCE=CHANGELOG.md -DOUTPUT=changelog -DPACKAGE=name
#         -DMAINTAINER="Name <address>" -P deb-changelog.cmake
# Each "## VERSION (YYYY-MM-DD HH:MM UTC)" section becomes an entry, each "- " item a
# "  * " line, its indented continuation lines following it.
file(STRINGS ${SOURCE} lines)
set(out "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## ([^ ]+) \\(([0-9-]+ [0-9:]+ UTC)\\)$")
    set(version ${CMAKE_MATCH_1})
    execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2}"
        OUTPUT_VARIABLE date RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "date -u -R -d '${CMAKE_MATCH_2}' failed: ${status}")
    endif()
    string(APPEND out "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
  elseif(line MATCHES "^- (.*)")
    string(APPEND out "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  +(.*)" AND NOT trailer STREQUAL "")
    string(APPEND out "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
file(WRITE ${OUTPUT} "${out}${trailer}")
