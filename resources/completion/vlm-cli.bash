# bash completion for vlm-cli                              -*- shell-script -*-

_vlm_cli() {
  local cur prev words cword
  _init_completion || return

  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      protect | restore | backups) command=${words[i]}; break ;;
    esac
  done

  case $command in
    "")
      COMPREPLY=($(compgen -W 'protect restore backups --help --version' -- "$cur"))
      ;;
    protect)
      case $prev in
        --grid | --pieces | --min | --jobs)
          # A size such as 3x3, or a count; nothing to offer.
          return ;;
        --markup)
          COMPREPLY=($(compgen -W 'table layered' -- "$cur"))
          return ;;
        --format)
          COMPREPLY=($(compgen -W 'text json' -- "$cur"))
          return ;;
        --site-root)
          _filedir -d
          return ;;
        --types)
          local kinds=gif,jpg,bmp,png,webp prefix=${cur%,*}
          if [[ $cur == *,* ]]; then
            COMPREPLY=($(compgen -P "$prefix," -W "${kinds//,/ }" -- "${cur##*,}"))
          else
            COMPREPLY=($(compgen -W "${kinds//,/ }" -- "$cur"))
          fi
          compopt -o nospace
          return ;;
      esac
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--grid --pieces --min --links --no-links --sizes
          --no-sizes --types --markup --site-root --subdirs --no-subdirs --dry-run
          --format --jobs --' -- "$cur"))
      else
        _filedir
      fi
      ;;
    restore)
      # --force once, and the numbers of the backup sets, as `vlm-cli
      # backups` lists them.
      if [[ $cur == -* ]]; then
        [[ " ${words[*]:1:cword-1} " == *" --force "* ]] ||
          COMPREPLY=($(compgen -W '--force' -- "$cur"))
        return
      fi
      local sets
      sets=$("${words[0]}" backups 2>/dev/null | sed -n 's/^ *[Ss]et \([0-9][0-9]*\).*/\1/p')
      COMPREPLY=($(compgen -W "$sets" -- "$cur"))
      ;;
  esac
} &&
  complete -F _vlm_cli vlm-cli

# ex: filetype=sh
