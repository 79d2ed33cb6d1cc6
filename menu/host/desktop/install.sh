#!/bin/sh
# Puts "Protect Images" into the context menus of Dolphin (service menu),
# Nautilus and Caja (scripts) and Nemo (action) for the current user, each
# calling `vlm-shell invoke` with the selection, and registers menu.so.
#
#   install.sh [PROGRAM_FOLDER]           install (default: the build's bin/)
#   install.sh --remove [PROGRAM_FOLDER]  remove them and unregister menu.so
#
# Follows XDG_DATA_HOME and XDG_CONFIG_HOME. Safe to run again.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
remove=false
if [ "${1:-}" = "--remove" ]; then
  remove=true
  shift
fi
program_dir=${1:-$here/../../../build/bin}
if ! program_dir=$(cd "$program_dir" 2>/dev/null && pwd); then
  echo "install.sh: no folder ${1:-$here/../../../build/bin}; build Velmora first or name its program folder" >&2
  exit 1
fi
shell=$program_dir/vlm-shell
if [ ! -x "$shell" ]; then
  echo "install.sh: no vlm-shell in $program_dir; build Velmora first or name its program folder" >&2
  exit 1
fi
case $shell in
  *[\"\`\$\\%]*)
    echo "install.sh: the path $shell holds a character the file managers cannot take (\" \` \$ \\ %)" >&2
    exit 1 ;;
esac

data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
dolphin=$data/kio/servicemenus/velmora-protect-images.desktop
nautilus=$data/nautilus/scripts/Protect\ Images
caja=$config/caja/scripts/Protect\ Images
nemo=$data/nemo/actions/velmora-protect-images.nemo_action

if $remove; then
  rm -f "$dolphin" "$nautilus" "$caja" "$nemo"
  "$shell" unregister
  echo "Removed the context-menu entries."
  exit 0
fi

# Copies template $1 to $2 with the path of vlm-shell filled in.
put() {
  mkdir -p "$(dirname "$2")"
  escaped=$(printf '%s\n' "$shell" | sed 's/[&|\\]/\\&/g')
  sed "s|@VLM_SHELL@|$escaped|g" "$here/$1" > "$2.new"
  chmod 755 "$2.new"
  mv "$2.new" "$2"
  echo "  $2"
}

echo "Installing the context-menu entries:"
put velmora-protect-images.desktop "$dolphin"
put "Protect Images" "$nautilus"
put "Protect Images" "$caja"
put velmora-protect-images.nemo_action "$nemo"
"$shell" register
