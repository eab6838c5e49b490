# bash completion for quillon-cli: its commands, each command's options, and the field names of
# show, set and fields (asked of quillon-cli itself, so they are always those of the installed
# program).

_quillon_cli_fields() {
  [ -n "${_quillon_cli_field_names:-}" ] ||
    _quillon_cli_field_names=$("${1:-quillon-cli}" fields --names 2>/dev/null)
  printf '%s\n' "$_quillon_cli_field_names"
}

_quillon_cli() {
  local cur prev command i
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="search read apply show diff set backup fields help"
  command=
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -*) ;;
      *) command=${COMP_WORDS[i]}; break ;;
    esac
  done
  if [ -z "$command" ]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi

  case $prev in
    --out | --values | --expect-file)
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
    --out-dir)
      COMPREPLY=($(compgen -d -- "$cur"))
      return ;;
    --only)
      COMPREPLY=($(compgen -W "network cameras rs485 network,cameras network,rs485 cameras,rs485" -- "$cur"))
      return ;;
    --wait | --verify-wait | --ip-from | --via | --expect)
      return ;;
  esac

  local options
  case $command in
    search) options="--wait --via --expect --expect-file --json --csv --help" ;;
    read) options="--out --wait --via --quiet --help" ;;
    apply) options="--all --only --verify --verify-wait --ip-from --json --wait --via --quiet --parallel --force-first-generation --help" ;;
    show) options="--json --wait --via --quiet --help" ;;
    diff) options="--json --wait --via --quiet --help" ;;
    set) options="--all --values --verify --verify-wait --json --wait --via --quiet --parallel --force-first-generation --help" ;;
    backup) options="--all --out-dir --json --wait --via --quiet --parallel --help" ;;
    fields) options="--names --json --help" ;;
    help) COMPREPLY=($(compgen -W "$commands" -- "$cur")); return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $command in
    set)
      # NAME= for each field; the value is the user's.
      [[ $cur == *=* ]] && return
      compopt -o nospace 2>/dev/null
      COMPREPLY=($(compgen -W "$(_quillon_cli_fields "${COMP_WORDS[0]}" | sed 's/$/=/')" -- "$cur")) ;;
    show | fields)
      COMPREPLY=($(compgen -W "$(_quillon_cli_fields "${COMP_WORDS[0]}")" -- "$cur"))
      [[ $command == show ]] && COMPREPLY+=($(compgen -f -X '!*.[iI][nN][iI]' -- "$cur")) ;;
    apply | diff)
      COMPREPLY=($(compgen -f -X '!*.[iI][nN][iI]' -- "$cur")) ;;
  esac
}

complete -F _quillon_cli quillon-cli
