# SPDX-License-Identifier: MIT
# Cross build for arm64 Linux with Debian's g++-aarch64-linux-gnu. liblo's
# arm64 headers, archive, shared library and pkg-config file come from
# Debian's arm64 packages unpacked into build/sysroot-arm64 (scripts/setup
# does it); the programs and tests run under qemu-user (arm64-emulator).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/arm64-emulator)

get_filename_component(sysroot "${CMAKE_CURRENT_LIST_DIR}/../build/sysroot-arm64" ABSOLUTE)
set(ENV{PKG_CONFIG_LIBDIR} "${sysroot}/usr/lib/aarch64-linux-gnu/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${sysroot}")
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu "${sysroot}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
