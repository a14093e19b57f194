# Warnings and small helpers shared by every folder.
add_compile_options(-Wall -Wextra -Wshadow)
# CI builds (the debug and sanitizer presets) treat every warning as an error.
option(MELVO_WERROR "Treat compiler warnings as errors" OFF)
if(MELVO_WERROR)
  add_compile_options(-Werror)
endif()

# Rebuilds of unchanged sources come from ccache when it is installed (it is optional).
find_program(MELVO_CCACHE ccache)
if(MELVO_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${MELVO_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${MELVO_CCACHE})
endif()

# Adds every immediate subfolder of DIR that has a CMakeLists.txt, in name order, so that each
# part of the player can bring its own tools, tests and benchmarks without touching a shared list.
function(melvo_add_subdirs dir)
  set(base ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  if(EXISTS ${base}/CMakeLists.txt)
    add_subdirectory(${dir})
    return()
  endif()
  file(GLOB children RELATIVE ${base} ${base}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${base}/${child} AND EXISTS ${base}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# melvo_plugin_modules(OUT): the format plug-ins, the module libraries of the folders under
# plugins/ (call it once those folders are added).
function(melvo_plugin_modules out)
  set(modules)
  file(GLOB dirs LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/plugins/*)
  foreach(dir ${dirs})
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
      foreach(t ${targets})
        get_target_property(type ${t} TYPE)
        if(type STREQUAL "MODULE_LIBRARY")
          list(APPEND modules ${t})
        endif()
      endforeach()
    endif()
  endforeach()
  set(${out} ${modules} PARENT_SCOPE)
endfunction()

# melvo_run_headless(TARGET)
# The program sets up the Qt offscreen platform and the no-sound audio device for itself, before
# main (tests/HeadlessEnvironment.cpp), so that it needs neither a display nor a card however it is
# started: from ctest, by hand or from a script. Every test program and fuzz target has it.
function(melvo_run_headless target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/HeadlessEnvironment.cpp)
endfunction()

# melvo_add_gtest(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS l])
# One test executable, run headless; every GoogleTest case becomes a CTest test.
function(melvo_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  melvo_run_headless(${name})
  # Helpers shared with the fuzz targets are included by their path from the top, tests/support/.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} melvo_build_paths GTest::gtest GTest::gmock
                                         GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()

# melvo_add_bench(NAME SOURCES a.cpp LIBS x y)
function(melvo_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} melvo_build_paths benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
