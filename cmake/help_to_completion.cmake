# Writes the bash completion of zorv from its --help texts: the commands listed by `zorv --help`,
# and for each command the options its own --help names.
#   cmake -DPROGRAM=path -DOUT=zorv -P help_to_completion.cmake

include(${CMAKE_CURRENT_LIST_DIR}/help_text.cmake)

run_help(main)
string(REGEX MATCHALL "\n  zorv [a-z][a-z-]*" lines "${main}")
set(commands "")
set(cases "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "\n  zorv " "" command "${line}")
  list(APPEND commands ${command})
  run_help(text ${command})
  # Brackets would split CMake lists: options are found after spaces only.
  string(REGEX REPLACE "[][|]" " " text "${text}")
  string(REGEX MATCHALL "(--[a-z0-9][a-z0-9-]*| -[a-zA-Z])" options "${text}")
  set(words "")
  foreach(o IN LISTS options)
    string(REGEX REPLACE "^[^-]+" "" o "${o}")
    list(APPEND words ${o})
  endforeach()
  list(APPEND words --help)
  list(REMOVE_DUPLICATES words)
  list(JOIN words " " words)
  string(APPEND cases "        ${command}) opts=\"${words}\" ;;\n")
endforeach()
list(JOIN commands " " commands)

file(WRITE "${OUT}" "# bash completion for zorv (made from its --help texts)
_zorv() {
    local cur=\${COMP_WORDS[COMP_CWORD]} opts=\"\"
    if [[ \$COMP_CWORD -eq 1 ]]; then
        COMPREPLY=(\$(compgen -W \"${commands} --help\" -- \"\$cur\"))
        return
    fi
    case \${COMP_WORDS[1]} in
${cases}    esac
    if [[ \$cur == -* ]]; then
        COMPREPLY=(\$(compgen -W \"\$opts\" -- \"\$cur\"))
    else
        COMPREPLY=(\$(compgen -f -- \"\$cur\"))
    fi
}
complete -o filenames -o bashdefault -F _zorv zorv
")
