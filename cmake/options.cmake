# SPDX-License-Identifier: MIT
# project_options: the warnings and the hardening every target of the project
# gets. Each hardening option is added only where this compiler and linker
# accept it, so that an arm64, macOS or MinGW toolchain builds with what it
# supports; with GCC on Debian x86-64 every one of them is on.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

add_library(project_options INTERFACE)

# The warnings, also for the Windows compile check (cmake/lint.cmake).
set(PROJECT_WARNINGS -Wall -Wextra -Wpedantic -Wconversion -Wshadow)
if(MSVC)
  target_compile_options(project_options INTERFACE /W4 /permissive-)
else()
  target_compile_options(project_options INTERFACE ${PROJECT_WARNINGS})
endif()

foreach(flag -fstack-protector-strong -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "HAVE${flag}" have)
  check_cxx_compiler_flag(${flag} ${have})
  if(${have})
    target_compile_options(project_options INTERFACE ${flag})
  endif()
endforeach()

# Fortification needs optimisation and does not mix with AddressSanitizer,
# which replaces the same functions: it goes with the optimised builds only.
# Level 3 where the compiler and the C library take it (glibc 2.34 with GCC
# 12 or Clang 9, or later), else 2; a level the compiler's defaults or the
# user's flags already give is never lowered.
if(NOT MSVC)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_QUIET ON)
  set(CMAKE_REQUIRED_FLAGS "-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3")
  check_cxx_source_compiles("#include <cstdio>
#if __USE_FORTIFY_LEVEL != 3
#error
#endif
int main() {}" FORTIFY_LEVEL_3)
  set(fortify_level 2)
  if(FORTIFY_LEVEL_3)
    set(fortify_level 3)
  endif()
  set(CMAKE_REQUIRED_FLAGS -O2)
  check_cxx_source_compiles("#if !defined(_FORTIFY_SOURCE) || _FORTIFY_SOURCE < ${fortify_level}
#error
#endif
int main() {}" FORTIFY_GIVEN_${fortify_level})
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_QUIET)
  if(NOT FORTIFY_GIVEN_${fortify_level})
    target_compile_options(project_options INTERFACE
        "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${fortify_level}>")
  endif()
endif()

check_linker_flag(CXX "LINKER:-z,relro,-z,now" HAVE_RELRO_NOW)
if(HAVE_RELRO_NOW)
  target_link_options(project_options INTERFACE "LINKER:-z,relro,-z,now")
endif()

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
check_pie_supported(LANGUAGES CXX)

# Builds of the same source from different folders give the same programs:
# the folders' names stay out of the debug information and of __FILE__.
check_cxx_compiler_flag(-ffile-prefix-map=/a=/b HAVE_FILE_PREFIX_MAP)
if(HAVE_FILE_PREFIX_MAP)
  target_compile_options(project_options INTERFACE
      -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
      -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
endif()
