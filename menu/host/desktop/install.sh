#!/bin/sh
# Puts "Protect Images" into the context menus of Dolphin (service menu),
# Nautilus and Caja (scripts) and Nemo (action) for the current user, each
# calling `vlm-shell invoke` with the selection, and registers menu.so.
#
#   install.sh [PROGRAM_FOLDER]           install (default: the build's bin/,
#                                         or the package's /usr/bin)
#   install.sh --remove [PROGRAM_FOLDER]  remove them and unregister menu.so
#
# The menus of Dolphin and Nemo are limited to folders and the page types of
# the vlm.ini in use at install time; run the script again after changing
# the file types. Follows XDG_DATA_HOME, XDG_CONFIG_HOME and VLM_REGISTRY.
# Safe to run again. --remove needs neither the programs nor their options.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
remove=false
if [ "${1:-}" = "--remove" ]; then
  remove=true
  shift
fi
# From the source tree the programs are those of the build; installed from
# the package (share/velmora/desktop/), those of the prefix's bin/.
default_dir=$here/../../../build/bin
[ -d "$default_dir" ] || [ ! -x "$here/../../../bin/vlm-shell" ] || default_dir=$here/../../../bin
program_dir=${1:-$default_dir}

data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
dolphin=$data/kio/servicemenus/velmora-protect-images.desktop
# KDE Frameworks 5 before 5.85 read service menus from this folder instead.
dolphin_kf5=$data/kservices5/ServiceMenus/velmora-protect-images.desktop
nautilus=$data/nautilus/scripts/Protect\ Images
caja=$config/caja/scripts/Protect\ Images
nemo=$data/nemo/actions/velmora-protect-images.nemo_action

if $remove; then
  rm -f "$dolphin" "$dolphin_kf5" "$nautilus" "$caja" "$nemo"
  echo "Removed the context-menu entries."
  shell=$program_dir/vlm-shell
  if [ -x "$shell" ] && "$shell" unregister; then
    exit 0
  fi
  # Without a working menu.so the registration is taken out of the registry
  # file directly: its two handler keys and its class keys.
  registry=${VLM_REGISTRY:-$config/velmora/registry.reg}
  if [ -f "$registry" ]; then
    awk -v clsid='{19741013-C829-11D1-8233-0020AF3E97A9}' '
      BEGIN {
        drop["hkey_classes_root\\*\\shellex\\contextmenuhandlers\\velmora"] = 1
        drop["hkey_classes_root\\folder\\shellex\\contextmenuhandlers\\velmora"] = 1
        drop["hkey_classes_root\\clsid\\" tolower(clsid)] = 1
        drop["hkey_classes_root\\clsid\\" tolower(clsid) "\\inprocserver32"] = 1
      }
      /^\[/ { key = tolower($0); sub(/^\[/, "", key); sub(/\]\r?$/, "", key); skip = key in drop }
      !skip' "$registry" > "$registry.new"
    mv "$registry.new" "$registry"
    echo "Removed the registration of menu.so from $registry."
  fi
  exit 0
fi

if ! program_dir=$(cd "$program_dir" 2>/dev/null && pwd); then
  echo "install.sh: no folder ${1:-$default_dir}; build Velmora first or name its program folder" >&2
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

# The page types come from the options in use (vlm-shell knows where they are).
options=$("$shell" where | sed -n 's/^options\t//p')
mime_types=$("$here/page-types.sh" --mime "$options")
extensions=$("$here/page-types.sh" --extensions "$options")

# Copies template $1 to $2 with the path of vlm-shell and the types filled in.
put() {
  mkdir -p "$(dirname "$2")"
  escaped=$(printf '%s\n' "$shell" | sed 's/[&|\\]/\\&/g')
  sed -e "s|@VLM_SHELL@|$escaped|g" -e "s|@MIME_TYPES@|$mime_types|g" \
    -e "s|@EXTENSIONS@|$extensions|g" "$here/$1" > "$2.new"
  chmod 755 "$2.new"
  mv "$2.new" "$2"
  echo "  $2"
}

echo "Installing the context-menu entries:"
put velmora-protect-images.desktop "$dolphin"
put velmora-protect-images.desktop "$dolphin_kf5"
put "Protect Images" "$nautilus"
put "Protect Images" "$caja"
put velmora-protect-images.nemo_action "$nemo"
"$shell" register
