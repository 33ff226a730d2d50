# bash completion for quorvel. The command names and each command's options come from the
# program itself (quorvel --commands, quorvel COMMAND --list-options), so they never drift.
_quorvel() {
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$("${words[0]}" --commands 2>/dev/null) --help --version" -- "$cur"))
        return
    fi
    case $prev in
        --log) COMPREPLY=($(compgen -W "text xml html" -- "$cur")); return ;;
        --by) COMPREPLY=($(compgen -W "tag content attr: child:" -- "$cur")); return ;;
        --fallback) COMPREPLY=($(compgen -W "charref" -- "$cur")); return ;;
        --to)
            if [[ ${words[1]} == conv ]]; then
                COMPREPLY=($(compgen -W "utf-8 utf-16 iso-8859-1 iso-8859-15 windows-1252 us-ascii shift_jis euc-jp gb2312 big5 koi8-r" -- "$cur"))
            fi
            return ;;
        -o|--output|--password-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --password-env) COMPREPLY=($(compgen -v -- "$cur")); return ;;
        -j|--jobs|--indent|--top) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$("${words[0]}" "${words[1]}" --list-options 2>/dev/null)" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -X '!*.@(xml|XML|xsl|svg|rss|atom|xhtml|plist|xsd)' -- "$cur") $(compgen -d -- "$cur"))
}
complete -o filenames -F _quorvel quorvel
