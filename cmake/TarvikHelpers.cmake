# SPDX-License-Identifier: MIT
# Shared compile settings and the small functions every directory uses to add its targets.

# Warnings are errors for the project's own checks (make, make test, CI); packagers and other
# build types get the warnings without failing on a compiler's false positive.
option(TARVIK_WERROR "Treat the project's warnings as errors" OFF)
set(TARVIK_WARNINGS -Wall -Wextra -Wpedantic)
if(TARVIK_WERROR)
  list(APPEND TARVIK_WARNINGS -Werror)
endif()
if(TARVIK_SANITIZE)
  set(TARVIK_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${TARVIK_SAN_FLAGS})
  add_link_options(${TARVIK_SAN_FLAGS})
endif()
# A fuzz build instruments every library a fuzz target links (coverage for libFuzzer, and the
# sanitizers), so the fuzzer sees the readers; each target adds libFuzzer's own entry point.
if(TARVIK_LIBFUZZER)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TARVIK_LIBFUZZER needs clang: "
                        "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(TARVIK_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
  add_compile_options(${TARVIK_FUZZ_FLAGS})
  add_link_options(${TARVIK_FUZZ_FLAGS})
endif()

# tarvik_warnings(target): the project's warning set.
function(tarvik_warnings target)
  target_compile_options(${target} PRIVATE ${TARVIK_WARNINGS})
endfunction()

# tarvik_link_offscreen(target): links the offscreen drawing into a program, with libOSMesa the
# first library it needs, so that its gl* entry points are found before libGL's.
function(tarvik_link_offscreen target)
  target_link_options(${target} PRIVATE "LINKER:--push-state,--no-as-needed"
                      ${OSMESA_LINK_LIBRARIES} "LINKER:--pop-state")
  target_link_libraries(${target} PRIVATE tarvik_offscreen)
endfunction()

# tarvik_test(name SOURCES a.cpp ... [LIBS lib ...] [SERIAL] [NO_DISCOVER] [TIMEOUT s])
# One GoogleTest binary linked against the viewer's core. SERIAL marks tests that
# need the X display to themselves (windows, focus, xdotool); NO_DISCOVER registers
# the binary as a single CTest test instead of one test per case.
function(tarvik_test name)
  cmake_parse_arguments(T "SERIAL;NO_DISCOVER;NO_MAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  tarvik_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(T_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Leaks that GTK, Mesa and SDL keep for the life of the process are not ours to report.
  set(env "GSETTINGS_BACKEND=memory" "LC_ALL=C"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
  if(T_NO_DISCOVER OR T_SERIAL)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
    if(T_SERIAL)
      set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
  else()
    # Discovered tests lose all but the first entry of a list property on this CMake, so they
    # get the one that matters to them; they open no windows.
    list(GET env 2 leak_settings)
    # Cases are named by the suites' name generators alone: CMake would otherwise append the
    # printed parameter (raw bytes and addresses for a record) to every parameterised name.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES NO_PRETTY_TYPES
                         PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${leak_settings}")
  endif()
endfunction()


# tarvik_forbid_links(target library...): fails the configuration when target's link interface,
# followed through every target it names, reaches one of the libraries. Checked once the
# directory is done, so that links added anywhere in it are seen.
function(tarvik_forbid_links target)
  # The arguments are written out now: a deferred call reads variables when it runs.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _tarvik_check_links [[${target}]] [[${ARGN}]])")
endfunction()
function(_tarvik_check_links target forbidden)
  set(pending ${target})
  set(seen)
  while(pending)
    list(POP_FRONT pending item)
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item IN_LIST forbidden)
      message(FATAL_ERROR "${target} must link no display, GUI or image library, but reaches ${item}")
    endif()
    if(TARGET ${item})
      get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
      if(links)
        list(APPEND pending ${links})
      endif()
      if(NOT item STREQUAL target)
        continue()
      endif()
      get_target_property(links ${item} LINK_LIBRARIES)
      if(links)
        list(APPEND pending ${links})
      endif()
    endif()
  endwhile()
endfunction()
