# Run by CPack on the staged files before it builds the package: removes the compiler's
# .comment and .note sections from our programs and plug-in (bin/ and lib/corvanta/), as
# Debian's packaging tools do. The node under libexec/ is left byte for byte as shipped.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  file(RELATIVE_PATH relative "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" "${file}")
  if(NOT relative MATCHES "(^|/)(bin|lib/corvanta)/" OR IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  execute_process(COMMAND "${CPACK_CORVANTA_OBJCOPY}" --remove-section=.comment
                          --remove-section=.note "${file}"
                  RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "objcopy failed on ${file}: ${error}")
  endif()
endforeach()
