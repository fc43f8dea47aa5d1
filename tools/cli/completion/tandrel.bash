# bash completion for tandrel: subcommands, their options, and the values of
# the options that take a fixed set. Installed as
# share/bash-completion/completions/tandrel; source it to try it uninstalled.
# The test of the tool's command line keeps these lists in step with --help.

_tandrel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="info points read live logs datalog events export-em133 diagnostics collect history serve demo"
    local connection="-m --meter --force-model -p --port -u --unit -t --timeout"
    local command="" word
    # Global options take no value, so the first other word names the subcommand.
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        [[ $word != -* ]] && { command=$word; break; }
    done

    case $prev in
        -m|--meter) COMPREPLY=($(compgen -W "em133 em235 pm335" -- "$cur")); return ;;
        --word-order) COMPREPLY=($(compgen -W "HI_FIRST LO_FIRST" -- "$cur")); return ;;
        --csv)  # a file, but a flag of history
            if [[ $command != history ]]; then COMPREPLY=($(compgen -f -- "$cur")); return; fi ;;
        -o|--out) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        -p|--port|-u|--unit|-t|--timeout|-w|--watch|--file|-r|--register|--count|--clock-param|-j|--jobs|--meter|--model|--log|--from|--to|--listen|--live-every|--workers|--per-host)
            return ;;  # a number, a name or a time
    esac

    local options
    case $command in
        "")
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W "$commands" -- "$cur"))
                return
            fi
            options="--version -v --verbose" ;;
        info|logs|read) options="$connection --json" ;;
        points) options="-m --meter --json" ;;
        live) options="$connection -w --watch --json" ;;
        datalog) options="$connection --csv --json" ;;
        events) options="$connection --file --csv --json" ;;
        export-em133) options="--set-clock --clock-param --force-model --json" ;;
        diagnostics) options="-r --register -u --unit --count --word-order --force-model --json" ;;
        collect) options="-o --out --db -j --jobs -t --timeout --json" ;;
        history) options="--meter --model --log --from --to --json --csv" ;;
        serve) options="--listen --live-every -t --timeout --workers --per-host --db --logs-every
            --mqtt --mqtt-ca --mqtt-password-file --mqtt-prefix --mqtt-discovery-prefix" ;;
        demo) options="-m --meter --out" ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-h --help $options" -- "$cur"))
    elif [[ $command == collect || $command == diagnostics || $command == export-em133 ||
            $command == history || $command == serve ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))  # SITE_FILE, CSV, DIR, a store's file
    fi
}
complete -F _tandrel tandrel
