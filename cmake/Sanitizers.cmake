# Sanitizer and fuzzing builds, chosen at configure time:
#   -DMORVA_SANITIZE=address,undefined   the test build (scripts/test.sh)
#   -DMORVA_SANITIZE=thread              the ThreadSanitizer build of the
#                                        areas listed in MORVA_TSAN_AREAS
#   -DMORVA_FUZZ=ON                      adds the libFuzzer targets of fuzz/
#                                        (clang only) and runs each as a test
# Every report stops the program, so a test or a fuzz run with a finding
# fails instead of printing a warning that nobody reads.
set(MORVA_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread; empty for none")
option(MORVA_FUZZ "Build the libFuzzer targets under fuzz/ (clang)" OFF)

# Test areas whose threads are all ours (std::thread, std::mutex, timers):
# ThreadSanitizer sees every access there. Areas that hand data between
# threads through Qt's own queues and locks are left out: the distribution's
# Qt is not instrumented, so TSan cannot see its synchronisation.
# facade_preview_x11 is the facade's preview and overlay path, whose
# hand-over between threads is ours; the facade brings Qt's own threads
# along, so that area counts only the accesses of our code. An area ending
# in _x11 runs under xvfb-run on the xcb platform.
set(MORVA_TSAN_AREAS tasks timertask log platform_common authport castcore chatlink camassist facetone media_output media_sound
    facade_preview_x11)

if(MORVA_SANITIZE STREQUAL "address,undefined")
  set(_morva_san -fsanitize=address,undefined -fno-sanitize-recover=undefined)
elseif(MORVA_SANITIZE STREQUAL "thread")
  set(_morva_san -fsanitize=thread)
elseif(MORVA_SANITIZE)
  message(FATAL_ERROR "MORVA_SANITIZE: use address,undefined or thread, not '${MORVA_SANITIZE}'")
endif()

if(_morva_san)
  add_compile_options(${_morva_san} -O1 -g -fno-omit-frame-pointer)
  add_link_options(${_morva_san})
endif()
if(MORVA_SANITIZE STREQUAL "thread")
  # File and line in every report is all TSan needs; full debug information
  # would only lengthen this second build.
  add_compile_options(-gline-tables-only)
endif()

if(MORVA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MORVA_FUZZ needs clang (CXX=clang++ CC=clang)")
  endif()
  # Coverage feedback from the code the fuzz targets reach; the fuzzer's own
  # main is linked into the fuzz targets only.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Options every test of this build runs with, unless the caller sets its own.
# CTest reads this file before it starts any test, so a plain `ctest` in the
# build folder behaves like scripts/test.sh. A request too large to allocate
# answers null as glibc does, since the shadow tests make one on purpose.
if(_morva_san)
  set(_morva_env "${CMAKE_BINARY_DIR}/SanitizerOptions.cmake")
  file(WRITE ${_morva_env} "# Written by cmake/Sanitizers.cmake\n")
  foreach(pair
      "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:allocator_may_return_null=1"
      "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/lsan-suppressions.txt:print_suppressions=0"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
      "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/scripts/tsan-suppressions.txt")
    string(REGEX MATCH "^[A-Z]+_OPTIONS" name "${pair}")
    string(REPLACE "${name}=" "" value "${pair}")
    file(APPEND ${_morva_env} "if(NOT DEFINED ENV{${name}})\n  set(ENV{${name}} \"${value}\")\nendif()\n")
  endforeach()
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${_morva_env})
endif()

# The ThreadSanitizer build makes `tsan_tests`: the test executables of its
# areas. A build of another kind runs them as tests named tsan_<area> when
# MORVA_TSAN_BUILD names that build's folder.
if(MORVA_SANITIZE STREQUAL "thread")
  add_custom_target(tsan_tests)
  foreach(area ${MORVA_TSAN_AREAS})
    add_dependencies(tsan_tests test_${area})
  endforeach()
endif()
set(MORVA_TSAN_BUILD "" CACHE PATH "Folder of a ThreadSanitizer build whose area tests this build runs")
if(MORVA_TSAN_BUILD AND NOT MORVA_SANITIZE STREQUAL "thread")
  foreach(area ${MORVA_TSAN_AREAS})
    set(runner "")
    set(platform offscreen)
    if(area MATCHES "_x11$")
      set(runner ${MORVA_XVFB_RUNNER})
      set(platform xcb)
    endif()
    add_test(NAME tsan_${area} COMMAND ${runner} ${MORVA_TSAN_BUILD}/tests/${area}/test_${area})
    set_tests_properties(tsan_${area} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=${platform};MORVASHOW_HOSTS=;MORVASHOW_WORLD="
      # The engine's areas run in real time, several times slower under
      # ThreadSanitizer on a busy machine.
      TIMEOUT 600
      LABELS tsan)
  endforeach()
endif()
