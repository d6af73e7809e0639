# Writes the software manual that Help > VESK Software Manual shows: the README, then each
# program's manual page as text. Run as
#   cmake -DREADME=... -DPAGES="a.1;b.1" -DGROFF=... -DOUT=.../vesk-manual.md -P make_manual.cmake
file(READ "${README}" readme)
set(manual "${readme}\n\n# The programs' manual pages\n")
foreach(page ${PAGES})
  get_filename_component(name "${page}" NAME_WE)
  # Plain text: no escape sequences, no overstriking.
  execute_process(COMMAND "${GROFF}" -man -Tutf8 -P-c -P-b -P-o -P-u -rLL=96n "${page}"
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "groff could not format ${page}")
  endif()
  string(APPEND manual "\n## ${name}(1)\n\n```\n${text}```\n")
endforeach()
file(WRITE "${OUT}" "${manual}")
