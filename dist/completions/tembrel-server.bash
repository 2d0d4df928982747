# bash completion for tembrel-server
_tembrel_server() {
    local cur prev
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    case "$prev" in
    --location|--upload-dir)
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return ;;
    --settings)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return ;;
    --audio)
        mapfile -t COMPREPLY < <(compgen -W "null auto" -- "$cur")
        return ;;
    --spectrum)
        mapfile -t COMPREPLY < <(compgen -W "off 15 30 60" -- "$cur")
        return ;;
    --port)
        return ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "--headless --show --port --location --settings
        --audio --upload-dir --spectrum --help --version" -- "$cur")
}
complete -o filenames -F _tembrel_server tembrel-server
