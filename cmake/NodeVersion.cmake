# The first line of a node program's --version, read without a trace in anyone's data folder:
# bitcoind writes its settings file even to print its version (and, in the default ~/.bitcoin, a
# wallets folder too), so it runs with a data folder of its own, `scratch`, made fresh before and
# removed after, and with -nosettings. Also run in script mode by the tests.
function(corvanta_node_version program scratch out_line out_error out_result)
  file(REMOVE_RECURSE "${scratch}")
  file(MAKE_DIRECTORY "${scratch}")
  execute_process(COMMAND "${program}" --version "-datadir=${scratch}" -nosettings
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error TIMEOUT 20)
  file(REMOVE_RECURSE "${scratch}")
  string(REGEX MATCH "^[^\n]*" line "${output}")
  set(${out_line} "${line}" PARENT_SCOPE)
  set(${out_error} "${error}" PARENT_SCOPE)
  set(${out_result} "${result}" PARENT_SCOPE)
endfunction()
