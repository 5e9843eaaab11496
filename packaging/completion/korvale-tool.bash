# bash completion for korvale-tool                         -*- shell-script -*-
# Commands, their options, the values of --type, --filter, --palette, --repeat and --level, and
# file names by what each command reads: textures (.mip, .srb) and pictures (.png).

_korvale_tool()
{
    local cur prev words cword
    _init_completion || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            info | convert | import | export | compare | thumbnail)
                command=${words[i]}
                break
                ;;
        esac
    done
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "info convert import export compare thumbnail --version --help" -- "$cur"))
        return
    fi

    case $prev in
        --type)
            COMPREPLY=($(compgen -W "pal4 rgb565 argb1555 argb4444 0 1 2 3 4 5" -- "$cur"))
            return
            ;;
        --filter)
            COMPREPLY=($(compgen -W "area mitchell catmullrom cubic" -- "$cur"))
            return
            ;;
        --palette)
            # A mode, or a file whose palette is taken.
            COMPREPLY=($(compgen -W "shared per-level keep" -- "$cur"))
            _filedir '@(mip|srb|png)'
            return
            ;;
        --repeat)
            COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur"))
            return
            ;;
        --level)
            COMPREPLY=($(compgen -W "0 1 2 3 4 5 6 7 8" -- "$cur"))
            return
            ;;
        -o | --all)
            _filedir -d
            return
            ;;
        --sheet)
            _filedir png
            return
            ;;
        --like)
            _filedir '@(mip|srb)'
            return
            ;;
        -s)
            COMPREPLY=($(compgen -W "128 256 512" -- "$cur"))
            return
            ;;
        -j | --levels | --size | --values | --min-psnr)
            return # a number or a list of numbers
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options="-q --quiet --help"
        case $command in
            info) options+=" --json" ;;
            convert) options+=" -f --force --size --repair --recolour" ;;
            import) options+=" -f --force -o --srb -j --type --palette --dither --levels --size
                               --filter --repeat --values --like" ;;
            export) options+=" -f --force -o -j --level --all --sheet --raw" ;;
            compare) options+=" --min-psnr" ;;
            thumbnail) options+=" -f --force -s" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    case $command in
        info | convert) _filedir '@(mip|srb)' ;;
        import) _filedir '@(png|mip|srb)' ;;
        *) _filedir '@(mip|srb|png)' ;;
    esac
} &&
    complete -F _korvale_tool korvale-tool
