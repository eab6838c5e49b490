# The Windows build. Cross-compiled here with cmake/mingw-w64-x86_64.cmake (`make windows`, which
# turns QUILLON_BUILD_GUI off): the core, quillon-cli and quillon-devsim as static 64-bit programs,
# the unit tests of the core and the command-line tool, the profile look-up program of the INI
# differential test, rs485_read for `make bench`, and the zip. scripts/wine-test.sh runs them
# under Wine in a private network, against the Linux build.
#
# On Windows itself with Qt 6 (QUILLON_BUILD_GUI on, as by default) the window is built too; the
# README says how. That is not tried here: no Qt for Windows on this machine.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
if(QUILLON_BUILD_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  include(${CMAKE_SOURCE_DIR}/cmake/build_speed.cmake)  # moc and rcc for the window's targets
elseif(MINGW)
  # One file per program: the C++ runtime and the threads library go inside.
  add_link_options(-static)
endif()

# CLI11 and nlohmann/json are header-only and the same for every system: the build takes Debian's
# headers, from a folder of their own so that nothing else of the host's /usr/include is seen.
if(CMAKE_CROSSCOMPILING)
  set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${host_headers})
  foreach(dir CLI nlohmann)
    if(NOT EXISTS ${host_headers}/${dir})
      file(CREATE_LINK /usr/include/${dir} ${host_headers}/${dir} SYMBOLIC)
    endif()
  endforeach()
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
endif()

add_subdirectory(src)
target_link_libraries(quillon_core PUBLIC ws2_32 iphlpapi)
if(TARGET quillon)
  set_target_properties(quillon PROPERTIES WIN32_EXECUTABLE ON)  # no console beside the window
else()
  # The window as a native program (src/win32): dialogs and common controls over the same forms,
  # session, link and worker; one static file with its icons, manifest and version information.
  enable_language(RC)
  file(GLOB QUILLON_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/win32/*.cpp)
  list(REMOVE_ITEM QUILLON_WIN32_SOURCES ${CMAKE_SOURCE_DIR}/src/win32/main.cpp)
  add_library(quillon_win32 STATIC ${QUILLON_WIN32_SOURCES})
  target_compile_definitions(quillon_win32 PUBLIC UNICODE _UNICODE)
  target_link_libraries(quillon_win32 PUBLIC quillon_window comctl32 comdlg32 uxtheme ole32
                        oleacc)
  # The version of the project, for the resource file's version information.
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/quillon_version.h CONTENT
    "#define QUILLON_VERSION_MAJOR @PROJECT_VERSION_MAJOR@\n#define QUILLON_VERSION_MINOR @PROJECT_VERSION_MINOR@\n#define QUILLON_VERSION_TEXT \"@PROJECT_VERSION@\"\n")
  set(QUILLON_WINDOW_RESOURCES ${CMAKE_SOURCE_DIR}/res/quillon.rc)
  add_executable(quillon WIN32 ${CMAKE_SOURCE_DIR}/src/win32/main.cpp ${QUILLON_WINDOW_RESOURCES})
  target_include_directories(quillon PRIVATE ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(quillon PRIVATE quillon_win32)
  # wWinMain; no symbols in the program itself.
  target_link_options(quillon PRIVATE -municode -s)

  # The installer (NSIS): the three programs, Start-menu entries, the uninstaller.
  find_program(QUILLON_MAKENSIS makensis REQUIRED)
  set(QUILLON_INSTALLER ${CMAKE_BINARY_DIR}/quillon-${PROJECT_VERSION}-windows-x64-setup.exe)
  add_custom_command(OUTPUT ${QUILLON_INSTALLER}
    COMMAND ${QUILLON_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
            -DSOURCE=${CMAKE_SOURCE_DIR} -DBUILD=${CMAKE_BINARY_DIR} -DOUTFILE=${QUILLON_INSTALLER}
            ${CMAKE_SOURCE_DIR}/res/quillon.nsi
    DEPENDS quillon quillon-cli quillon-devsim ${CMAKE_SOURCE_DIR}/res/quillon.nsi
            ${CMAKE_SOURCE_DIR}/res/quillon.ico ${CMAKE_SOURCE_DIR}/docs/windows/README.txt
    VERBATIM)
  add_custom_target(windows_installer ALL DEPENDS ${QUILLON_INSTALLER})
endif()
add_subdirectory(tools/devsim)
add_subdirectory(tools/cli)
# What the zip and the installer ship carries no symbols (quillon-cli.exe: 4.3 MB down to 2 MB).
foreach(program quillon-cli quillon-devsim)
  target_link_options(${program} PRIVATE -s)
endforeach()

set(QUILLON_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/quillon-${PROJECT_VERSION}-windows-x64.zip)
add_custom_command(OUTPUT ${QUILLON_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory zip
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quillon> $<TARGET_FILE:quillon-cli>
          $<TARGET_FILE:quillon-devsim> ${CMAKE_SOURCE_DIR}/docs/windows/README.txt zip/
  COMMAND ${CMAKE_COMMAND} -E chdir zip ${CMAKE_COMMAND} -E tar cf ${QUILLON_WINDOWS_ZIP}
          --format=zip quillon.exe quillon-cli.exe quillon-devsim.exe README.txt
  DEPENDS quillon quillon-cli quillon-devsim ${CMAKE_SOURCE_DIR}/docs/windows/README.txt
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
add_custom_target(windows_zip ALL DEPENDS ${QUILLON_WINDOWS_ZIP})

if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  return()  # the tests need Debian's GoogleTest sources
endif()
# GoogleTest from Debian's sources (package googletest), built with the same compiler.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The shared fakes and fixtures, without those that start Linux processes.
file(GLOB WINDOWS_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER WINDOWS_TEST_SUPPORT EXCLUDE REGEX "/(devsim_process|process_run|simulator_run)\\.cpp$")
add_library(quillon_test_support STATIC ${WINDOWS_TEST_SUPPORT})
target_include_directories(quillon_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(quillon_test_support PUBLIC quillon_window quillon_devsim_lib)
add_subdirectory(tests/fuzz)

file(GLOB WINDOWS_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${WINDOWS_UNIT_TESTS})
target_link_libraries(unit_tests PRIVATE quillon_test_support quillon_cli_lib quillon_fuzz_harness
  GTest::gtest_main)
# Wine shows the Linux root as drive Z:.
target_compile_definitions(unit_tests PRIVATE
  QUILLON_FUZZ_KEPT="Z:${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions"
  QUILLON_TEST_DATA="Z:${CMAKE_SOURCE_DIR}/tests/data")

add_subdirectory(tests/windows)
if(TARGET quillon_win32)
  add_subdirectory(tests/win32)
endif()
# quillon-cli's RS-485 read alone, for `make bench` under Wine.
add_executable(rs485_read ${CMAKE_SOURCE_DIR}/bench/rs485_read.cpp)
target_link_libraries(rs485_read PRIVATE quillon_cli_lib)

