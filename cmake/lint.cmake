# SPDX-License-Identifier: MIT
# The checkers the tests use, and the checks that read or compile the
# sources without running them: clang-tidy and cppcheck on the project's own
# code, shellcheck on its shell scripts, and a MinGW-w64 compile of the
# programs' sources for Windows, each a test of its own. They run on the
# native build; the analysers read its compile commands.

# The checkers. One that is missing leaves its tests out: outside CI a status
# line says so; under CI configuring stops, for a green run would then prove
# less than it claims.
set(missing_checkers "")
macro(find_checker var program package)
  find_program(${var} ${program})
  if(NOT ${var})
    list(APPEND missing_checkers "${program} (package ${package})")
  endif()
endmacro()
find_checker(MINGW_CXX x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64)
if(NOT SANITIZED)
  if(NOT VALGRIND)
    list(APPEND missing_checkers "valgrind (package valgrind)")
  endif()
  find_checker(CLANG_TIDY clang-tidy clang-tidy)
  find_checker(CPPCHECK cppcheck cppcheck)
  find_checker(LINTIAN lintian lintian)
  find_checker(SHELLCHECK shellcheck shellcheck)
endif()
if(missing_checkers)
  list(JOIN missing_checkers ", " missing)
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR "CI: missing ${missing}: their checks cannot run; scripts/setup installs them")
  endif()
  message(STATUS "tests: missing ${missing}: their checks are left out; scripts/setup installs them")
endif()

# The programs' own sources compile for Windows: MinGW-w64 compiles each to
# an object against liblo's headers, so that no POSIX-only call creeps in.
if(MINGW_CXX)
  set(mingw_include ${PROJECT_BINARY_DIR}/mingw-include)
  file(MAKE_DIRECTORY ${mingw_include})
  file(CREATE_LINK ${LIBLO_INCLUDEDIR}/lo ${mingw_include}/lo SYMBOLIC)
  foreach(source sender/sender.cpp burstcast/main.cpp pacecast/main.cpp)
    string(MAKE_C_IDENTIFIER ${source} object)
    add_test(NAME mingw:${source}
        COMMAND ${MINGW_CXX} -std=c++20 ${PROJECT_WARNINGS} -Werror
            -isystem ${mingw_include} -I ${PROJECT_SOURCE_DIR}/sender
            -c ${PROJECT_SOURCE_DIR}/${source} -o ${PROJECT_BINARY_DIR}/mingw-${object}.o)
    set_tests_properties(mingw:${source} PROPERTIES LABELS analysis)
  endforeach()
endif()

# Static analysis of the project's own sources, each file a test of its own,
# on the optimised build (the analysers read its compile commands).
if(NOT SANITIZED)
  file(GLOB_RECURSE analysed CONFIGURE_DEPENDS
      ${PROJECT_SOURCE_DIR}/sender/*.cpp ${PROJECT_SOURCE_DIR}/burstcast/*.cpp
      ${PROJECT_SOURCE_DIR}/pacecast/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.cpp
      ${PROJECT_SOURCE_DIR}/harness/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.cpp)
  if(CLANG_TIDY)
    foreach(source ${analysed})
      file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${source})
      add_test(NAME clang_tidy:${name}
          COMMAND ${CLANG_TIDY} -p ${PROJECT_BINARY_DIR} --quiet ${source})
      set_tests_properties(clang_tidy:${name} PROPERTIES LABELS analysis)
    endforeach()
  endif()
  if(CPPCHECK)
    # From 2.11 on, cppcheck follows only so many branches unless told to
    # follow them all, and reports the limit as a finding of its own.
    execute_process(COMMAND ${CPPCHECK} --version OUTPUT_VARIABLE cppcheck_version)
    string(REGEX MATCH "[0-9]+\\.[0-9]+" cppcheck_version "${cppcheck_version}")
    set(cppcheck_level "")
    if(cppcheck_version VERSION_GREATER_EQUAL 2.11)
      set(cppcheck_level --check-level=exhaustive)
    endif()
    add_test(NAME cppcheck
        COMMAND ${CPPCHECK} ${cppcheck_level} --enable=warning,performance,portability
            --error-exitcode=1 --inline-suppr --quiet --std=c++20 --language=c++
            --library=googletest
            -I ${PROJECT_SOURCE_DIR}/sender -I ${PROJECT_SOURCE_DIR}/tests
            -I ${PROJECT_SOURCE_DIR}/harness
            ${PROJECT_SOURCE_DIR}/sender ${PROJECT_SOURCE_DIR}/burstcast
            ${PROJECT_SOURCE_DIR}/pacecast ${PROJECT_SOURCE_DIR}/tests
            ${PROJECT_SOURCE_DIR}/harness ${PROJECT_SOURCE_DIR}/bench)
    set_tests_properties(cppcheck PROPERTIES LABELS analysis)
  endif()
  if(SHELLCHECK)
    add_test(NAME shellcheck COMMAND sh -c "${SHELLCHECK} scripts/* .ci/* cmake/arm64-emulator tests/setup-guard"
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
    set_tests_properties(shellcheck PROPERTIES LABELS analysis)
  endif()
endif()
