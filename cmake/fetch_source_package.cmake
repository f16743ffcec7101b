# Unpacks a Debian source package (Debian's patches applied) into the build
# tree, for a library that has no MinGW package. Run with -DPACKAGE=<name>
# -DDEST=<folder> -DMARKER=<a file inside it>; leaves <folder>/<name>.
if(EXISTS ${DEST}/${PACKAGE}/${MARKER})
  return()
endif()
file(REMOVE_RECURSE ${DEST})
file(MAKE_DIRECTORY ${DEST})
execute_process(COMMAND apt-get source --download-only ${PACKAGE}
                WORKING_DIRECTORY ${DEST} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
file(GLOB dsc ${DEST}/${PACKAGE}_*.dsc)
if(NOT rc EQUAL 0 OR NOT dsc)
  message(FATAL_ERROR "apt-get source ${PACKAGE} failed: scripts/install-deps adds the deb-src entry it needs")
endif()
# apt-get checked the files against the signed archive index.
execute_process(COMMAND dpkg-source --no-check -x ${dsc} ${PACKAGE}
                WORKING_DIRECTORY ${DEST} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-source could not unpack ${dsc}")
endif()
