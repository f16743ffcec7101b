# The Windows build's libraries, all made from Debian packages: zlib from
# libz-mingw-w64-dev, minizip from Debian's zlib source package, Boost's
# header-only parts from the host's headers, GoogleTest from its sources.
set(QUON_DEPS_DIR ${CMAKE_BINARY_DIR}/_deps)

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# Only boost/ is exposed: the rest of the host's /usr/include must never reach
# the cross compiler.
set(boost_stage ${QUON_DEPS_DIR}/boost-include)
file(MAKE_DIRECTORY ${boost_stage})
file(CREATE_LINK /usr/include/boost ${boost_stage}/boost SYMBOLIC)
add_library(Boost::headers INTERFACE IMPORTED)
set_target_properties(Boost::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${boost_stage})
# Boost's headers pick the Windows API version from this.
target_compile_definitions(Boost::headers INTERFACE _WIN32_WINNT=0x0601)

execute_process(COMMAND ${CMAKE_COMMAND} -DDEST=${QUON_DEPS_DIR}/zlib-source
                -P ${CMAKE_CURRENT_LIST_DIR}/fetch_minizip.cmake RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "minizip sources not available")
endif()
set(minizip_dir ${QUON_DEPS_DIR}/zlib-source/zlib/contrib/minizip)
# The headers are included as <minizip/...>, as with the Linux package.
set(minizip_inc ${QUON_DEPS_DIR}/minizip-include)
file(MAKE_DIRECTORY ${minizip_inc})
file(CREATE_LINK ${minizip_dir} ${minizip_inc}/minizip SYMBOLIC)
add_library(quon_minizip STATIC ${minizip_dir}/ioapi.c ${minizip_dir}/unzip.c ${minizip_dir}/zip.c)
target_include_directories(quon_minizip PUBLIC ${minizip_inc} PRIVATE ${minizip_dir})
target_link_libraries(quon_minizip PUBLIC ZLIB::ZLIB)
target_compile_options(quon_minizip PRIVATE -w)
add_library(PkgConfig::MINIZIP ALIAS quon_minizip)

set(QUON_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (package googletest)")

# Test programs (and gtest_discover_tests' listing) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR})
