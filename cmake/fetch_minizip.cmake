# Unpacks Debian's zlib source package (Debian's patches applied) into the
# build tree, for minizip's sources: there is no MinGW minizip package.
# Run with -DDEST=<folder>; leaves <folder>/zlib with contrib/minizip.
if(EXISTS ${DEST}/zlib/contrib/minizip/unzip.c)
  return()
endif()
file(REMOVE_RECURSE ${DEST})
file(MAKE_DIRECTORY ${DEST})
execute_process(COMMAND apt-get source --download-only zlib
                WORKING_DIRECTORY ${DEST} RESULT_VARIABLE rc OUTPUT_QUIET)
file(GLOB dsc ${DEST}/zlib_*.dsc)
if(NOT rc EQUAL 0 OR NOT dsc)
  message(FATAL_ERROR "apt-get source zlib failed: scripts/install-deps adds the deb-src entry it needs")
endif()
# apt-get checked the files against the signed archive index.
execute_process(COMMAND dpkg-source --no-check -x ${dsc} zlib
                WORKING_DIRECTORY ${DEST} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-source could not unpack ${dsc}")
endif()
