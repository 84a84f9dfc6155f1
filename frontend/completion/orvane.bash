# Bash completion for orvane: its options, the command words of both forms, the
# test types after --test or after the second comma of a comma command, the
# slash switches after a comma command, and file names elsewhere (the shard records
# after merge).

_orvane() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local tests="ls fs hsfe hsne lshub fshub hshub elsrep efsrep ehsrep"
    local commands="usbsigcheck eusbrepeater usbinrushcheck merge"
    local options="-q --quiet -s --summary --hubs -o --output-dir -v --verbose -j --jobs --shard"
    options+=" --version -h --help"
    COMPREPLY=()
    case $prev in
    --test)
        mapfile -t COMPREPLY < <(compgen -W "$tests" -- "$cur")
        return 0
        ;;
    --hubs)
        mapfile -t COMPREPLY < <(compgen -W "0 1 2 3 4 5" -- "$cur")
        return 0
        ;;
    -j | --jobs)
        mapfile -t COMPREPLY < <(compgen -W "$(seq 1 "$(nproc 2>/dev/null || echo 1)")" -- "$cur")
        return 0
        ;;
    --volts | --shard) return 0 ;;
    -o | --output-dir)
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return 0
        ;;
    --second) return 1 ;;
    esac

    # A comma command being typed: its test type, or its data file.
    local lower=${cur,,}
    if [[ $lower =~ ^(usbsigcheck|eusbrepeater),[^,]*,[^,]*$ ]]; then
        mapfile -t COMPREPLY < <(compgen -P "${cur%,*}," -W "$tests" -- "${cur##*,}")
        return 0
    fi
    if [[ $lower =~ ^(usbsigcheck|eusbrepeater|usbinrushcheck),[^,]*$ ]]; then
        mapfile -t COMPREPLY < <(compgen -P "${cur%%,*}," -f -- "${cur#*,}")
        compopt -o nospace 2>/dev/null
        return 0
    fi

    # What the words before this one chose: a command word, or a whole comma command.
    local form="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i],,} in
        usbsigcheck | eusbrepeater) form=signal ;;
        usbinrushcheck) form=inrush ;;
        merge) form=merge ;;
        *,*) [[ -n $form ]] || form=comma ;;
        esac
    done
    if [[ $cur == -* ]]; then
        case $form in
        signal) options+=" --test --second" ;;
        inrush) options+=" --volts" ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return 0
    fi
    case $form in
    comma)
        mapfile -t COMPREPLY < <(compgen -W "/q /s" -- "$cur")
        return 0
        ;;
    signal | inrush | merge) return 1 ;;
    esac
    # The first word: a command word, or a command file (left to file name completion).
    mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    [[ ${#COMPREPLY[@]} -gt 0 ]]
}
complete -o default -F _orvane orvane
