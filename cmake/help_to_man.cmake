# Writes a manual page from a program's --help text, so that the two never disagree.
#   cmake -DPROGRAM=path -DNAME=zorv -DSUMMARY="..." -DOUT=zorv.1 [-DCOMMANDS=ON] [-DVERSION=x.y] -P help_to_man.cmake
# With COMMANDS=ON every "  NAME COMMAND ..." line of the help names a command whose own
# `NAME COMMAND --help` text follows as a section of its own.

include(${CMAKE_CURRENT_LIST_DIR}/help_text.cmake)

# The text as troff: backslashes doubled, lines that start with a dot or an apostrophe protected,
# kept line for line.
function(as_troff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

string(TIMESTAMP year "%Y")
run_help(main)
string(TOUPPER "${NAME}" upper)
set(page ".TH ${upper} 1 \"${year}\" \"${NAME} ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n")
as_troff(body "${main}")
string(APPEND page ".SH DESCRIPTION\n${body}")
if(COMMANDS)
  string(REGEX MATCHALL "\n  ${NAME} [a-z][a-z-]*" lines "${main}")
  string(APPEND page ".SH COMMANDS\n")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "\n  ${NAME} " "" command "${line}")
    run_help(text ${command})
    as_troff(body "${text}")
    string(APPEND page ".SS ${command}\n${body}")
  endforeach()
endif()
file(WRITE "${OUT}" "${page}")
