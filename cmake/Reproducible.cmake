# The same sources give the same bytes, build after build: what the code generators write must
# not depend on the moment or on where the operating system happened to place their memory.
#
# - Qt's resource compiler stamps every resource with its file's modification time unless
#   SOURCE_DATE_EPOCH (or QT_RCC_SOURCE_DATE_OVERRIDE) names one; a checkout's file times are
#   those of the checkout, not of the commit. The package build exports SOURCE_DATE_EPOCH (the
#   last commit's time) and it is written into the generators' command lines, so a new value
#   reruns them instead of leaving stale stamps behind.
# - Qt 6.4's QML compiler declares each compiled function's local variables in the order of a
#   hash keyed by the addresses of its own type objects. Its hash seed is fixed, but with
#   address-space layout randomization those addresses, and so the order, change from run to
#   run. The generators therefore run without randomization, so that the same allocations land at
#   the same addresses, and in a fixed environment: what the environment holds (a variable more or
#   less, its length) moves the tool's allocations and changes the order as surely. Only build
#   tools run so; the programs built are not affected.
set(CORVANTA_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT CORVANTA_SOURCE_DATE_EPOCH MATCHES "^([0-9]+)?$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a count of seconds, not '${CORVANTA_SOURCE_DATE_EPOCH}'")
endif()

# The system's search path (the tools are named by absolute path, the rest are the system's), a
# UTF-8 locale that Qt's tools take without a warning, and the time when one is given: nothing else.
find_program(CORVANTA_ENV env REQUIRED)
set(generator_launcher ${CORVANTA_ENV} -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
    LC_ALL=C.UTF-8)
if(NOT CORVANTA_SOURCE_DATE_EPOCH STREQUAL "")
  list(APPEND generator_launcher SOURCE_DATE_EPOCH=${CORVANTA_SOURCE_DATE_EPOCH})
endif()
# Some sandboxes refuse to change a process's personality; the build then goes on as before.
find_program(CORVANTA_SETARCH setarch)
if(CORVANTA_SETARCH)
  execute_process(COMMAND ${CORVANTA_SETARCH} ${CMAKE_HOST_SYSTEM_PROCESSOR} -R true
                  RESULT_VARIABLE setarch_result OUTPUT_QUIET ERROR_QUIET)
  if(setarch_result EQUAL 0)
    list(APPEND generator_launcher ${CORVANTA_SETARCH} ${CMAKE_HOST_SYSTEM_PROCESSOR} -R)
  endif()
endif()
if(NOT generator_launcher MATCHES "setarch")
  message(STATUS "setarch -R is not available: Qt's QML compiler may order its output "
                 "differently from build to build")
endif()
list(JOIN generator_launcher " " generator_launcher)
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM "${generator_launcher}")

# Installed directories are laid out as Debian wants them whatever the umask of the one who builds
# (read by every install() after this point).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
