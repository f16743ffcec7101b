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
    unit/system/system_report_test.cpp unit/diagnostics/custom_assert_test.cpp)
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
