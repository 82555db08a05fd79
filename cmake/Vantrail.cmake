# Shared build rules for our own targets.

set(VANTRAIL_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

# Warnings as errors on our code only; third-party headers come in as system includes.
function(vantrail_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Werror)
endfunction()

# vantrail_library(NAME [QT] SOURCES ... [DEPS ...] [PUBLIC_DEPS ...])
# QT turns on moc for libraries that define QObject classes.
function(vantrail_library name)
  cmake_parse_arguments(L "QT" "" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  if(L_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_PUBLIC_DEPS} PRIVATE ${L_DEPS})
  vantrail_warnings(${name})
endfunction()

# vantrail_executable(NAME [QT] SOURCES ... [DEPS ...]): a program placed in build/bin.
function(vantrail_executable name)
  cmake_parse_arguments(E "QT" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${E_SOURCES})
  if(E_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  target_link_libraries(${name} PRIVATE ${E_DEPS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTRAIL_BIN_DIR})
  vantrail_warnings(${name})
endfunction()

# Environment every test runs in: no display, no sandbox (CI runs as root), and a
# browser engine that stays off the network.
set(VANTRAIL_TEST_ENV
    "QT_QPA_PLATFORM=offscreen"
    "QTWEBENGINE_DISABLE_SANDBOX=1"
    "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --disable-background-networking --disable-component-update --disable-sync --no-first-run"
    "QT_LOGGING_RULES=qt.webenginecontext.debug=false")

# vantrail_add_test(NAME LABEL label SOURCES ... [LIBS ...] [TIMEOUT s] [WRAP cmd ...] [ENV v=x ...])
# Qt Test executable registered with ctest under a label; WRAP runs it through a command
# (such as xvfb-run), ENV entries override the common environment.
function(vantrail_add_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;WRAP;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
      VANTRAIL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
      VANTRAIL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  vantrail_warnings(${name})
  add_test(NAME ${name} COMMAND ${T_WRAP} $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
                                          ENVIRONMENT "${VANTRAIL_TEST_ENV};${T_ENV}")
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt: tests/, bench/ and
# tools/ hold one folder per part of the program, each adding its own targets.
function(vantrail_add_parts)
  file(GLOB parts LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT parts)
  foreach(part IN LISTS parts)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${part}/CMakeLists.txt)
      add_subdirectory(${part})
    endif()
  endforeach()
endfunction()
