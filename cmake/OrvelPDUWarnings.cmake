# orvelpdu_warnings(<target> [STRICT]): the project's warning set for one of its own targets.
# STRICT adds -Wconversion (library and examples); tests keep the rest of the set.
# Consumers never see these flags: they are PRIVATE.
function(orvelpdu_warnings target)
  cmake_parse_arguments(ARG "STRICT" "" "" ${ARGN})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(ARG_STRICT)
    target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion)
  endif()
  if(ORVELPDU_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
