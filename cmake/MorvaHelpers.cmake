# Adds every direct sub-folder of the current folder that has a CMakeLists.txt.
function(morva_add_child_dirs)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# morva_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One Qt Test executable per area, run offscreen by CTest.
function(morva_add_test name)
  morva_register_test(${name} offscreen "" ${ARGN})
endfunction()

# morva_add_xvfb_test(<name> SOURCES <files...> LIBS <targets...>)
# The same, run on the xcb platform under a private X server that
# `xvfb-run -a` starts (packages xvfb and xauth), so it needs no display and
# runs on CI too. For what the offscreen platform hides: X11 key bindings and
# shortcut texts, screen grabs, window lists.
set(MORVA_XVFB_RUNNER xvfb-run -a -s "-screen 0 1280x1024x24")
function(morva_add_xvfb_test name)
  morva_register_test(${name} xcb "${MORVA_XVFB_RUNNER}" ${ARGN})
endfunction()

# The program loads libmvencode.so and libmvwebview.so from its own folder
# only, and both are built into app/ beside it. A folder of the build tree
# whose programs load them (tests, benchmarks, fuzz targets) gets links to
# them, made when the build is set up; whatever links castcore or web has
# them built first.
function(morva_link_loaded_libraries folder)
  file(MAKE_DIRECTORY ${folder})
  foreach(library libmvencode.so libmvwebview.so)
    file(RELATIVE_PATH target ${folder} ${CMAKE_BINARY_DIR}/app/${library})
    file(CREATE_LINK ${target} ${folder}/${library} SYMBOLIC)
  endforeach()
endfunction()

function(morva_register_test name platform runner)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  morva_link_loaded_libraries(${CMAKE_CURRENT_BINARY_DIR})
  # testrecording: the layers' call logs record in tests, never in the program.
  target_link_libraries(${name} PRIVATE testsupport testrecording Qt5::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${runner} $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=${platform};MORVASHOW_HOSTS=;MORVASHOW_WORLD="
    TIMEOUT ${T_TIMEOUT})
endfunction()

# Copies the run-time assets (effect/) beside a program after each build: the
# program reads them by paths relative to its folder.
function(morva_copy_effect_folder target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/effect $<TARGET_FILE_DIR:${target}>/effect
    VERBATIM)
endfunction()
