# bash completion for tembrel-remote
_tembrel_remote() {
    local cur prev word command i
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    local commands="status playlist artists albums tracks queue search play pause toggle stop
        next prev seek track vol shuffle repeat picture upload watch raw help"
    local options="--host --port -p --name --json --timeout --help --version"

    case "$prev" in
    --host|--port|-p|--name|--timeout)
        return ;;
    esac

    # The command is the first word that is neither an option nor its value.
    command=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word="${COMP_WORDS[i]}"
        case "$word" in
        --host|--port|-p|--name|--timeout) ((i++)) ;;
        -*) ;;
        *) command="$word"; break ;;
        esac
    done

    if [[ -z "$command" ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$commands $options" -- "$cur")
        return
    fi
    case "$command" in
    vol) mapfile -t COMPREPLY < <(compgen -W "up down mute" -- "$cur") ;;
    shuffle|repeat) mapfile -t COMPREPLY < <(compgen -W "on off" -- "$cur") ;;
    queue) mapfile -t COMPREPLY < <(compgen -W "--loose" -- "$cur") ;;
    help) mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur") ;;
    upload|picture) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
    esac
}
complete -o filenames -F _tembrel_remote tembrel-remote
