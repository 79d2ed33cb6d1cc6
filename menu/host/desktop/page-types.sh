#!/bin/sh
# Prints the page types of a vlm.ini as a file manager's action file lists
# them, ended by ";":
#
#   page-types.sh --mime VLM_INI [GLOBS2...]   MIME types for Dolphin: folders,
#       text/html, and every type the shared MIME database gives to files
#       with one of the page extensions (default database: the globs2 files
#       of XDG_DATA_HOME and XDG_DATA_DIRS)
#   page-types.sh --extensions VLM_INI         extensions for Nemo: "dir",
#       then the page extensions ("none" for pages without one)
#
# Run at install time; types added to the options later reach the menus when
# the entries are installed again.
set -eu
usage() {
  echo "usage: page-types.sh --mime|--extensions VLM_INI [GLOBS2...]" >&2
  exit 2
}
[ $# -ge 2 ] || usage
mode=$1
ini=$2
shift 2
if [ ! -r "$ini" ]; then
  echo "page-types.sh: cannot read $ini" >&2
  exit 1
fi
# The file types: in the keyed form (first line "[...") the "FileType=" lines,
# in the older form the lines after the 16 fixed ones; "ext,Description" each,
# a text without a comma being a description without extension. Lines end in
# CR LF, a lone CR or a lone LF.
extensions=$(awk 'BEGIN { RS = "\r\n|\r|\n" }
  NR == 1 { keyed = substr($0, 1, 1) == "[" }
  keyed && substr($0, 1, 9) == "FileType=" { type = substr($0, 10) }
  !keyed && NR > 16 { type = $0 }
  type != "" || (!keyed && NR > 16) {
    i = index(type, ","); print (i ? substr(type, 1, i - 1) : ""); type = "" }' "$ini" |
  LC_ALL=C sort -u)

case $mode in
  --extensions)
    printf '%s\n' "$extensions" | awk 'BEGIN { out = "dir;" }
      { out = out ($0 == "" ? "none" : $0) ";" } END { print out }'
    ;;
  --mime)
    if [ $# -eq 0 ]; then
      dirs="${XDG_DATA_HOME:-$HOME/.local/share}:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
      old_ifs=$IFS
      IFS=:
      for dir in $dirs; do
        [ -f "$dir/mime/globs2" ] && set -- "$@" "$dir/mime/globs2"
      done
      IFS=$old_ifs
    fi
    # globs2 lines: weight:type:glob[:flags]
    printf '%s\n' "$extensions" | awk -F: '
      BEGIN { seen["inode/directory"] = seen["text/html"] = 1 }
      FNR == NR { if ($0 != "") want["*." $0] = 1; next }
      /^#/ { next }
      ($3 in want) && !($2 in seen) { seen[$2] = 1; found = found $2 ";" }
      END { print "inode/directory;text/html;" found }' - "$@"
    ;;
  *) usage ;;
esac
