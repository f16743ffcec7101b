# The tests of the Windows build, run under Wine (make test-windows): the
# engine's unit tests that need no X server and no fork, and the integration
# tests of the network services against the test HTTP server.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUON_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own build names its targets GTest::gtest, GTest::gmock, ...
include(GoogleTest)

# The test HTTP server's library: cpp-httplib has no MinGW build in Debian, so
# its single header comes from Debian's source package; only that header is
# exposed to the cross compiler.
execute_process(COMMAND ${CMAKE_COMMAND} -DPACKAGE=cpp-httplib -DDEST=${QUON_DEPS_DIR}/httplib-source
                -DMARKER=httplib.h -P ${CMAKE_SOURCE_DIR}/cmake/fetch_source_package.cmake RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpp-httplib sources not available")
endif()
set(httplib_inc ${QUON_DEPS_DIR}/httplib-include)
file(MAKE_DIRECTORY ${httplib_inc})
file(CREATE_LINK ${QUON_DEPS_DIR}/httplib-source/cpp-httplib/httplib.h ${httplib_inc}/httplib.h SYMBOLIC)

file(GLOB QUON_WIN_SUPPORT_SRC CONFIGURE_DEPENDS support/win/*.cpp)
list(APPEND QUON_WIN_SUPPORT_SRC support/temp_dir.cpp support/test_platform.cpp support/patch_set.cpp
     support/test_http_server.cpp support/child_process.cpp)
add_library(quon_test_support STATIC ${QUON_WIN_SUPPORT_SRC})
target_include_directories(quon_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src)
target_include_directories(quon_test_support PRIVATE ${httplib_inc})
target_link_libraries(quon_test_support PUBLIC quon_launcher GTest::gtest GTest::gmock PkgConfig::MINIZIP ws2_32)
target_compile_definitions(quon_test_support PUBLIC QUON_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
                           QUON_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# unit/<area> folders that run on Windows; each is one program, as on Linux.
# Not yet: ftp (its list parser is part of the network services), console
# (the Windows console front-end).
set(QUON_WIN_UNIT_AREAS list_format md5 launcher diagnostics platform options system crash os_services)
# Tests of Linux parts (desktop entries, /proc and /sys parsing, uname), and
# the breakpoint death test, whose Windows ending (an unhandled breakpoint
# exception) belongs with the Windows crash handler.
set(QUON_WIN_SKIPPED_TESTS unit/platform/desktop_entry_test.cpp unit/system/system_facts_parse_test.cpp
    unit/diagnostics/custom_assert_test.cpp)
# integration/<area> folders that run on Windows; QUON_WIN_ONLY_<area> names
# the files of an area that do so far, where not all do.
set(QUON_WIN_INTEGRATION_AREAS downloader patching)
# The instance lock, program start and the launcher as a process, with the
# stand-ins cross-built beside it (Linux-only cases are in files of their own).
list(APPEND QUON_WIN_INTEGRATION_AREAS platform launcher)
list(APPEND QUON_WIN_SKIPPED_TESTS integration/platform/posix_process_test.cpp)
# Not the launcher's Linux matters (Wine as the runner, the window module).
# The random-kill run takes about 40 s under Wine.
set(QUON_WIN_ONLY_launcher launcher_files_test.cpp launcher_process_test.cpp launcher_kill_test.cpp)
list(TRANSFORM QUON_WIN_UNIT_AREAS PREPEND unit/ OUTPUT_VARIABLE unit_areas)
list(TRANSFORM QUON_WIN_INTEGRATION_AREAS PREPEND integration/ OUTPUT_VARIABLE integration_areas)
foreach(entry ${unit_areas} ${integration_areas})
  # unit and integration both have a "platform" and a "launcher" area.
  string(REPLACE "/" ";" entry ${entry})
  list(GET entry 0 kind)
  list(GET entry 1 area)
  file(GLOB src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${kind}/${area}/*.cpp)
  if(kind STREQUAL "integration" AND QUON_WIN_ONLY_${area})
    list(TRANSFORM QUON_WIN_ONLY_${area} PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${kind}/${area}/ OUTPUT_VARIABLE src)
  endif()
  foreach(skipped ${QUON_WIN_SKIPPED_TESTS})
    list(REMOVE_ITEM src ${CMAKE_CURRENT_SOURCE_DIR}/${skipped})
  endforeach()
  if(NOT src)
    continue()
  endif()
  set(target ${kind}_${area})
  add_executable(${target} ${src})
  target_link_libraries(${target} PRIVATE quon_test_support GTest::gtest_main)
  set(lock "")
  if(kind STREQUAL "integration")
    add_dependencies(${target} QuonLauncher fake_client fake_updater)
  endif()
  # Launchers and client stand-ins must not overlap (one session, one lock name).
  if(kind STREQUAL "integration" AND area MATCHES "^(patching|platform|launcher)$")
    set(lock RESOURCE_LOCK user_session)
  endif()
  # Listing the tests runs the program, so it goes through Wine as well.
  gtest_discover_tests(${target} PROPERTIES LABELS ${kind} ${lock} DISCOVERY_TIMEOUT 120)
endforeach()

# The Win32 dialogs (video options, notice browser) on a private Xvfb display
# (wine-run's QUON_WINE_XVFB). Such a run ends every other program of the Wine
# prefix, so these tests run alone. The dialog template is a resource of the
# program itself.
file(GLOB win32_dialog_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gui/win32/dialogs/*.cpp)
add_executable(gui_win32_dialogs ${win32_dialog_tests} ${CMAKE_SOURCE_DIR}/src/ui/win32/option_dialog.rc)
target_include_directories(gui_win32_dialogs PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(gui_win32_dialogs PRIVATE quon_test_support quon_ui_win32 GTest::gtest_main advapi32 ole32)
gtest_discover_tests(gui_win32_dialogs PROPERTIES LABELS gui ENVIRONMENT QUON_WINE_XVFB=1 RUN_SERIAL TRUE TIMEOUT 120
                     DISCOVERY_TIMEOUT 120)

# The crash handler and the crash report under Wine: the crash programs, the
# dumps they write when answered, and the FTP upload against pyftpdlib, which
# the Windows tests start on the Linux side through Wine (see
# integration/ftp/win/ftp_server_win.cpp).
add_subdirectory(crash_programs)
# integration_crash_win: the crash programs answered Yes and No, their dumps
# read back. integration_ftp: the transfer tests, the report upload, and the
# upload mode of a real crash.
# The Windows side of the crash fixture goes with each.
set(crash_fixture integration/crash/win/crash_fixture_win.cpp)
add_executable(integration_crash_win integration/crash/crash_dump_test.cpp integration/crash/win/crash_dump_win_test.cpp
               ${crash_fixture})
# The question itself needs a display: Wine on an Xvfb of its own, alone.
add_executable(integration_crash_prompt_win integration/crash/win/crash_prompt_win_test.cpp ${crash_fixture})
file(GLOB ftp_src CONFIGURE_DEPENDS integration/ftp/*_test.cpp integration/ftp/win/*.cpp)
add_executable(integration_ftp ${ftp_src} ${crash_fixture})
foreach(target integration_crash_win integration_crash_prompt_win integration_ftp)
  target_link_libraries(${target} PRIVATE quon_test_support GTest::gtest_main)
  add_dependencies(${target} crash_victim QuonLauncher)
  set(display "")
  if(target STREQUAL "integration_crash_prompt_win")
    set(display ENVIRONMENT QUON_WINE_XVFB=1 RUN_SERIAL TRUE)
  elseif(target STREQUAL "integration_ftp")
    # The throttled server of the cancel test (python under Wine's feet)
    # falls seconds behind on a busy machine.
    set(display RUN_SERIAL TRUE)
  endif()
  # Each crash starts a helper that dumps it; a dump under Wine takes seconds.
  gtest_discover_tests(${target} PROPERTIES LABELS integration TIMEOUT 300 ${display} DISCOVERY_TIMEOUT 120)
endforeach()

# The window scenarios of gui/window with their Win32 driver, under Wine on a
# private Xvfb display (wine-run's QUON_WINE_XVFB), driving the real launcher.
# Run alone, as every such run ends the prefix's other programs.
file(GLOB gui_window_src CONFIGURE_DEPENDS gui/window/*.cpp gui/window/win/*.cpp)
add_executable(gui_window ${gui_window_src})
target_link_libraries(gui_window PRIVATE quon_test_support quon_ui_win32 GTest::gtest_main)
quon_add_window_resources(gui_window)
add_dependencies(gui_window QuonLauncher fake_client)
gtest_discover_tests(gui_window PROPERTIES LABELS gui ENVIRONMENT QUON_WINE_XVFB=1 RUN_SERIAL ON TIMEOUT 120
                     DISCOVERY_TIMEOUT 120)
