# Fails unless every program in PROGRAMS (a ;-separated list of files) carries
# what Debian's hardening flags leave in a program and lintian looks for:
# relocations bound at start (BIND_NOW), the stack protector's failure call,
# and at least one fortified (__*_chk) library function.
#   cmake -DREADELF=... -DPROGRAMS=a;b -P check_hardening.cmake
set(missing "")
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND "${READELF}" -d -W "${program}" OUTPUT_VARIABLE dynamic RESULT_VARIABLE s1)
  execute_process(COMMAND "${READELF}" --dyn-syms -W "${program}" OUTPUT_VARIABLE symbols RESULT_VARIABLE s2)
  if(NOT s1 EQUAL 0 OR NOT s2 EQUAL 0)
    message(FATAL_ERROR "readelf cannot read ${program}")
  endif()
  get_filename_component(name "${program}" NAME)
  # Each row: what is looked for, where, and what its absence means.
  foreach(row "BIND_NOW|dynamic|not bound at start (-z now)"
              "__stack_chk_fail|symbols|no stack protector"
              "__[a-z_]+_chk[ @\n]|symbols|no fortified function (_FORTIFY_SOURCE)")
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 pattern)
    list(GET row 1 where)
    list(GET row 2 meaning)
    if(NOT "${${where}}" MATCHES "${pattern}")
      string(APPEND missing "\n  ${name}: ${meaning}")
    endif()
  endforeach()
endforeach()
if(missing)
  message(FATAL_ERROR "programs without Debian's hardening:${missing}")
endif()
