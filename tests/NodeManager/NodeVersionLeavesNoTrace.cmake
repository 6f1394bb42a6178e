# The configure step's reading of the shipped node's version, in a home without ~/.bitcoin: it must
# read the release and leave no ~/.bitcoin (bitcoind makes one even to print its version), nor its
# own scratch folder.
#   cmake -DNODE=<bitcoind> -DWORK=<empty folder of this test's> -P NodeVersionLeavesNoTrace.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/NodeVersion.cmake)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/home")
set(ENV{HOME} "${WORK}/home")
corvanta_node_version("${NODE}" "${WORK}/scratch" line error result)
if(NOT result EQUAL 0 OR NOT line MATCHES "version v31\\.1")
  message(FATAL_ERROR "no version read from ${NODE}: ${result} ${line} ${error}")
endif()
file(GLOB_RECURSE left LIST_DIRECTORIES true "${WORK}/*")
if(NOT left STREQUAL "${WORK}/home")
  message(FATAL_ERROR "reading the node's version left: ${left}")
endif()
file(REMOVE_RECURSE "${WORK}")
