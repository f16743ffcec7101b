# The tests of the Windows build, run under Wine (make test-windows): the
# engine's unit tests that need no X server, no fork and no test HTTP server
# library (cpp-httplib has no MinGW build in Debian).
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUON_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own build names its targets GTest::gtest, GTest::gmock, ...
include(GoogleTest)

set(QUON_WIN_SUPPORT_SRC support/temp_dir.cpp support/test_platform.cpp support/patch_set.cpp)
add_library(quon_test_support STATIC ${QUON_WIN_SUPPORT_SRC})
target_include_directories(quon_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(quon_test_support PUBLIC quon_launcher GTest::gtest GTest::gmock PkgConfig::MINIZIP)
target_compile_definitions(quon_test_support PUBLIC QUON_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
                           QUON_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# unit/<area> folders that run on Windows; each is one program, as on Linux.
set(QUON_WIN_UNIT_AREAS list_format md5)
foreach(area ${QUON_WIN_UNIT_AREAS})
  file(GLOB src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/unit/${area}/*.cpp)
  set(target unit_${area})
  add_executable(${target} ${src})
  target_link_libraries(${target} PRIVATE quon_test_support GTest::gtest_main)
  # Listing the tests runs the program, so it goes through Wine as well.
  gtest_discover_tests(${target} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 120)
endforeach()
