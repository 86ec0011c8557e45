# SPDX-License-Identifier: MIT
# Run by CPack once it has made the .deb: names the statically linked liblo in
# the control file and rebuilds the package reproducibly with dpkg-deb, every
# file dated SOURCE_DATE_EPOCH (the last commit's time when it is unset),
# owned by root, and with the modes Debian expects whatever the builder's
# umask: folders and programs 0755, every other file 0644.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(
      COMMAND git -C ${CPACK_OSCSENDERS_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

foreach(deb ${CPACK_PACKAGE_FILES})
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  if(CPACK_OSCSENDERS_BUILT_USING)
    file(READ ${tree}/DEBIAN/control control)
    string(STRIP "${control}" control)
    file(WRITE ${tree}/DEBIAN/control
        "${control}\nBuilt-Using: ${CPACK_OSCSENDERS_BUILT_USING}\n")
  endif()
  file(CHMOD_RECURSE ${tree}
      FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
      DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
          GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(GLOB programs ${tree}/usr/bin/*)
  file(CHMOD ${programs}
      PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(env "")
  if(epoch)
    execute_process(
        COMMAND find ${tree} -exec touch -h -d @${epoch} {} +
        COMMAND_ERROR_IS_FATAL ANY)
    set(env SOURCE_DATE_EPOCH=${epoch})
  endif()
  execute_process(
      COMMAND ${CMAKE_COMMAND} -E env ${env}
          dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
