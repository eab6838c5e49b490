# What keeps a build from a fresh clone short on a two-core machine:
# - moc and rcc run only for the targets that have something for them (quillon_qt_target);
# - the Qt and GoogleTest headers that most test files and widgets include are compiled once per
#   build folder into precompiled headers, which every target of that kind reuses
#   (quillon_use_pch);
# - the test programs themselves are compiled without optimisation: what they check, the
#   program's own code, keeps the build type's flags, while the test files (heavy on templates)
#   compile in a fraction of the time.
option(QUILLON_PCH "Precompile the Qt and GoogleTest headers that many files include" ON)

# A target with Qt classes (moc) or resources (rcc). With INCLUDES_ITS_MOC (a test program that
# includes its own moc output) the file that gathers the other moc outputs is empty, and loading
# a precompiled header for it would cost more than compiling it.
function(quillon_qt_target target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
  if(ARGV1 STREQUAL "INCLUDES_ITS_MOC")
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/mocs_compilation.cpp
      PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
endfunction()

# The headers of each kind. GCC takes a precompiled header only in a compilation with the same
# options, so one is made per kind and build folder, by a small target of its own with the same
# libraries as the targets that reuse it.
set(QUILLON_PCH_gtest <gtest/gtest.h> <algorithm> <chrono> <cstdint> <cstdio> <cstring>
    <functional> <map> <memory> <optional> <string> <thread> <vector>)
set(QUILLON_PCH_qt <QtWidgets>)
set(QUILLON_PCH_qttest <QtWidgets> <QtTest> <chrono> <cstring> <string> <vector>)

function(quillon_pch_owner kind)
  set(owner quillon_pch_${kind})
  if(TARGET ${owner})
    return()
  endif()
  set(stub ${CMAKE_BINARY_DIR}/pch/${kind}.cpp)
  if(NOT EXISTS ${stub})
    file(WRITE ${stub} "// The translation unit that compiles the precompiled header.\n")
  endif()
  add_library(${owner} OBJECT EXCLUDE_FROM_ALL ${stub})
  if(kind STREQUAL "gtest")
    target_link_libraries(${owner} PRIVATE GTest::gtest Threads::Threads)
  elseif(kind STREQUAL "qt")
    target_link_libraries(${owner} PRIVATE Qt6::Widgets)
  else()
    target_link_libraries(${owner} PRIVATE Qt6::Widgets Qt6::Test)
  endif()
  target_precompile_headers(${owner} PRIVATE ${QUILLON_PCH_${kind}})
  if(NOT kind STREQUAL "qt")
    quillon_test_program(${owner})  # the same options as the test programs that reuse it
  endif()
endfunction()

# kind: gtest (GoogleTest programs without Qt), qt (the window's widgets and pages), qttest
# (widget tests and the end-to-end tests of the window).
function(quillon_use_pch target kind)
  if(NOT QUILLON_PCH)
    return()
  endif()
  quillon_pch_owner(${kind})
  target_precompile_headers(${target} REUSE_FROM quillon_pch_${kind})
endfunction()

# The test programs' own files: no optimisation and lighter debug information, whatever the
# build type (the sanitizer builds keep their flags: they are Debug already).
function(quillon_test_program target)
  if(NOT QUILLON_SANITIZE)
    target_compile_options(${target} PRIVATE -O0 -g1)
  endif()
endfunction()
