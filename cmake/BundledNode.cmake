# The bitcoind every build ships beside its programs ("Node/bitcoind"), and its digest, compiled in
# as the release the application expects. scripts/fetch-bitcoind puts the node in
# vendor/bitcoind-<release>/; with none there the build ships no node, records no digest, and the
# application refuses every node program with the integrity error that names that script.

include(${CMAKE_CURRENT_LIST_DIR}/NodeVersion.cmake)

set(CORVANTA_BUNDLED_NODE_VERSION "31.1")
set(CORVANTA_BUNDLED_NODE
    "${CMAKE_SOURCE_DIR}/vendor/bitcoind-${CORVANTA_BUNDLED_NODE_VERSION}/bitcoind"
    CACHE FILEPATH "The bitcoind to ship with the application (scripts/fetch-bitcoind puts it here)")

set(CORVANTA_BUNDLED_NODE_SHA256 "")
if(EXISTS "${CORVANTA_BUNDLED_NODE}" AND NOT IS_DIRECTORY "${CORVANTA_BUNDLED_NODE}")
  # A node fetched again after this configure must be measured again.
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               "${CORVANTA_BUNDLED_NODE}")
  corvanta_node_version("${CORVANTA_BUNDLED_NODE}" "${CMAKE_BINARY_DIR}/CMakeFiles/node-version"
                        version_line version_error version_result)
  if(NOT version_result EQUAL 0
     OR NOT version_line MATCHES "version v${CORVANTA_BUNDLED_NODE_VERSION}(\\.0)?( |$)")
    message(FATAL_ERROR
            "${CORVANTA_BUNDLED_NODE} is not bitcoind ${CORVANTA_BUNDLED_NODE_VERSION} "
            "(--version: ${version_line}${version_error}). Run scripts/fetch-bitcoind "
            "${CORVANTA_BUNDLED_NODE_VERSION} (and scripts/setup for its libraries).")
  endif()
  file(SHA256 "${CORVANTA_BUNDLED_NODE}" CORVANTA_BUNDLED_NODE_SHA256)
  message(STATUS "Shipping bitcoind ${CORVANTA_BUNDLED_NODE_VERSION}, SHA-256 "
                 "${CORVANTA_BUNDLED_NODE_SHA256}")
else()
  message(STATUS "No bitcoind to ship (${CORVANTA_BUNDLED_NODE} is missing): every node program "
                 "will be refused; run scripts/fetch-bitcoind")
endif()

# Puts the shipped node in Node/ beside `target`'s program (and removes a node an earlier
# configure left there when this one ships none).
function(corvanta_ship_node target)
  get_target_property(directory ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT directory)
    set(directory "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  set(shipped "${directory}/Node/bitcoind")
  if(CORVANTA_BUNDLED_NODE_SHA256 STREQUAL "")
    file(REMOVE "${shipped}")
    return()
  endif()
  # Programs in one folder share its node.
  string(MAKE_C_IDENTIFIER "${shipped}" key)
  get_property(shipper GLOBAL PROPERTY corvanta_node_shipper_${key})
  if(shipper)
    add_dependencies(${target} ${shipper})
    return()
  endif()
  set_property(GLOBAL PROPERTY corvanta_node_shipper_${key} ${target}-node)
  add_custom_command(OUTPUT "${shipped}"
                     COMMAND ${CMAKE_COMMAND} -E copy "${CORVANTA_BUNDLED_NODE}" "${shipped}"
                     DEPENDS "${CORVANTA_BUNDLED_NODE}"
                     COMMENT "Shipping bitcoind beside ${target}"
                     VERBATIM)
  add_custom_target(${target}-node ALL DEPENDS "${shipped}")
  add_dependencies(${target} ${target}-node)
endfunction()
