# SPDX-License-Identifier: MIT
# The OSC library, liblo, found through pkg-config:
#   PkgConfig::LIBLO  the shared library, which pacecast always links;
#   liblo_headers     its headers alone, for code that leaves the choice of
#                     static or shared library to the program that links it;
#   burstcast_liblo   what burstcast links, as BURSTCAST_LIBLO chooses.
set(BURSTCAST_LIBLO static CACHE STRING
    "How burstcast links liblo: static (the library inside the program) or shared (like pacecast)")
set_property(CACHE BURSTCAST_LIBLO PROPERTY STRINGS static shared)
if(NOT BURSTCAST_LIBLO MATCHES "^(static|shared)$")
  message(FATAL_ERROR "BURSTCAST_LIBLO is '${BURSTCAST_LIBLO}': it must be static or shared.")
endif()

find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBLO REQUIRED IMPORTED_TARGET liblo)

# The folder of the shared library pkg-config resolved (its -L folder may be
# left out as a system folder).
list(GET LIBLO_LINK_LIBRARIES 0 liblo_so)
get_filename_component(LIBLO_SHARED_DIR "${liblo_so}" DIRECTORY)

add_library(liblo_headers INTERFACE)
target_include_directories(liblo_headers SYSTEM INTERFACE
    $<TARGET_PROPERTY:PkgConfig::LIBLO,INTERFACE_INCLUDE_DIRECTORIES>)
target_compile_options(liblo_headers INTERFACE
    $<TARGET_PROPERTY:PkgConfig::LIBLO,INTERFACE_COMPILE_OPTIONS>)

add_library(burstcast_liblo INTERFACE)
if(BURSTCAST_LIBLO STREQUAL static)
  find_library(LIBLO_STATIC NAMES liblo.a HINTS ${LIBLO_SHARED_DIR} ${LIBLO_LIBRARY_DIRS})
  if(NOT LIBLO_STATIC)
    list(JOIN LIBLO_LIBRARY_DIRS ", " dirs)
    if(NOT dirs)
      set(dirs ${LIBLO_SHARED_DIR})
    endif()
    message(FATAL_ERROR
        "burstcast links liblo statically, and no static liblo was found: looked for "
        "liblo.a in ${dirs} and in the compiler's library folders.\n"
        "Either install a static liblo (Debian and Ubuntu: liblo-dev; elsewhere build "
        "liblo with --enable-static), or configure with -DBURSTCAST_LIBLO=shared to "
        "link burstcast against the shared liblo, like pacecast.")
  endif()
  # The archive's own dependencies (threads, and sockets on Windows), as the
  # library's pkg-config file lists them for static linking.
  set(private ${LIBLO_STATIC_LIBRARIES})
  list(REMOVE_ITEM private lo)
  target_link_libraries(burstcast_liblo INTERFACE liblo_headers ${LIBLO_STATIC} ${private})
  message(STATUS "burstcast: links liblo statically (${LIBLO_STATIC})")
else()
  target_link_libraries(burstcast_liblo INTERFACE PkgConfig::LIBLO)
  message(STATUS "burstcast: links the shared liblo, like pacecast; it needs the shared library at run time")
endif()
