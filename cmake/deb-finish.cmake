# SPDX-License-Identifier: MIT
# Run by cpack once it has made the .deb: sets what CPack cannot, and builds
# the package again with dpkg-deb, modes, dates and owners as CPack made
# them (what is written here dated as CPack dated the rest, not by the
# clock). Installed-Size by dpkg's rule (a KiB a folder, each file's size in
# whole KiB), not by the folders' sizes on this file system; Built-Using,
# where burstcast carries liblo, from the liblo installed now.
foreach(deb ${CPACK_PACKAGE_FILES})
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND sh -c [[find . -path ./DEBIAN -prune -o -printf '%y %s\n' |
      awk '{ n += $1 == "d" ? 1 : int(($2 + 1023) / 1024) } END { print n }']]
      WORKING_DIRECTORY ${tree} OUTPUT_VARIABLE size OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${tree}/DEBIAN/control control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+" "\nInstalled-Size: ${size}" control "${control}")
  string(STRIP "${control}" control)
  if(CPACK_OSCSENDERS_LIBLO_STATIC)
    # "liblo-dev:amd64: /usr/lib/...", naming the architecture where
    # several can be installed at once.
    execute_process(COMMAND dpkg-query -S ${CPACK_OSCSENDERS_LIBLO_STATIC}
        OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
    string(REGEX REPLACE ": /.*" "" owner "${owner}")
    if(status EQUAL 0)
      execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" ${owner}
          OUTPUT_VARIABLE built_using COMMAND_ERROR_IS_FATAL ANY)
      string(APPEND control "\nBuilt-Using: ${built_using}")
    else()
      message(STATUS "package: ${CPACK_OSCSENDERS_LIBLO_STATIC} belongs to no Debian package, which it cannot name")
    endif()
  endif()
  file(WRITE ${tree}/DEBIAN/control "${control}\n")
  execute_process(COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} ${tree} ${tree}/DEBIAN ${tree}/DEBIAN/control COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
