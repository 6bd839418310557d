# bash completion for vq_datacore: options, commands, and the datacore paths
# of the server named on the command line (or by VQ_HOST and VQ_PORT).
_vq_datacore()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local options="--host --port --timeout --format --json --count --duration --updates-only --force --verbose
                   --help --help-all --version"
    local commands="list dump diff get set watch help"

    case $prev in
        --format) COMPREPLY=($(compgen -W "text json value" -- "$cur")); return ;;
        -H|--host|-p|--port|-t|--timeout|-n|--count|-d|--duration) return ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local i command= at=0 server=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -H|--host|-p|--port) server+=("${COMP_WORDS[i]}" "${COMP_WORDS[i+1]}"); ((i++)) ;;
            -t|--timeout|-n|--count|-d|--duration|--format) ((i++)) ;;
            -*) ;;
            *) command=${COMP_WORDS[i]}; at=$i; break ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    local paths
    case $command in
        help) ((COMP_CWORD == at + 1)) && COMPREPLY=($(compgen -W "list dump diff get set watch" -- "$cur")); return ;;
        diff) if ((COMP_CWORD == at + 1)); then COMPREPLY=($(compgen -f -- "$cur")); return; fi ;;
        set) ((COMP_CWORD == at + 1)) || return ;;
        list|dump|get|watch) ;;
        *) return ;;
    esac
    paths=$(vq_datacore "${server[@]}" --timeout 2 list 2>/dev/null)
    COMPREPLY=($(compgen -W "$paths" -- "$cur"))
}
complete -F _vq_datacore vq_datacore
