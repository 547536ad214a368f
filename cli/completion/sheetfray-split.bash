# bash completion for sheetfray-split
_sheetfray_split()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -e|--each) COMPREPLY=($(compgen -W 'row column cell' -- "$cur")); return ;;
        -k|--kind) COMPREPLY=($(compgen -W 'text spreadsheet tab-text xlsx' -- "$cur")); return ;;
        -s|--separator)
            COMPREPLY=($(compgen -W 'enter comma-space comma space' -- "$cur")); return ;;
        -n|--name) COMPREPLY=($(compgen -W 'number location first-value' -- "$cur")); return ;;
        -o|--output) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --name-template)
            COMPREPLY=($(compgen -W "'{book}_{n}' '{book}_{sheet}_{row}' '{value}'" -- "$cur"))
            return ;;
        --pad|--jobs|--sheet|--separator-text|--stdin-name) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--each --kind --separator --separator-text --name
            --name-template --pad --output --beside-source --sheet --skip-hidden --skip-empty
            --stdin-name --dry-run --no-clobber --jobs --quiet --verbose --help --version -e -k
            -s -n -o -q -v -h -V' -- "$cur"))
        return
    fi
    # Workbooks and folders.
    local IFS=$'\n'
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.@(xlsx|xlsm|xltx|xltm|xls|ods|fods|csv|tsv|XLSX|XLSM|XLTX|XLTM|XLS|ODS|FODS|CSV|TSV)' -- "$cur"))
    compopt -o filenames 2>/dev/null
}
complete -F _sheetfray_split sheetfray-split
