#!/usr/bin/env bash
# The Debian package as a user gets it. Builds it with CPack, checks it with
# lintian, desktop-file-validate and appstreamcli, unpacks it into a scratch
# root and runs the programs from there with a fresh home: vlm-cli protects
# and restores the sample site, and vlm starts offscreen, protects a page and
# keeps its options in the home's config folder. Nothing may be written into
# the installation.
#
#   installed-package.sh BUILD_DIR SAMPLE_SITE PRIVATE_LIBRARY_FOLDER
set -euo pipefail
build=$1
sample=$2
pkglib=$3 # relative to the prefix: lib/TRIPLET/velmora
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vlm-package-XXXXXX")
vlm_pid=
cleanup() {
  if [ -n "$vlm_pid" ]; then kill "$vlm_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

step "cpack -G DEB"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack could not build the package"; }
debs=("$scratch"/out/velmora_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single velmora_*.deb in ${debs[*]}"
deb=${debs[0]}
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

step "dpkg-deb --info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = velmora ] || fail "Package is '$(field Package)'"
[ "$(field Section)" = graphics ] || fail "Section is '$(field Section)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
version=$(field Version)
depends=$(field Depends)
echo "Version: $version"
echo "Depends: $depends"
# The libraries the programs link, as dpkg-shlibdeps names their packages.
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo libgif7; do
  [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
    fail "Depends lacks $library"
done
# (Read whole first: grep -q ending a pipe early would fail it under pipefail.)
info=$(dpkg-deb --info "$deb")
grep -q '^ Description: protect the images of web pages' <<<"$info" || fail "no description"
dpkg-deb --control "$deb" "$scratch/control"
for script in preinst postinst prerm postrm; do
  [ ! -e "$scratch/control/$script" ] || fail "the package has a $script script"
done

step "dpkg-deb --contents"
dpkg-deb --contents "$deb" | grep -v '^d' | sed -E 's/^([^ ]+ +){5}\.//' | sort >"$scratch/files"
sort >"$scratch/expected" <<FILES
/usr/bin/vlm
/usr/bin/vlm-cli
/usr/bin/vlm-shell
/usr/$pkglib/libvlmcom.so
/usr/$pkglib/menu.so
/usr/share/applications/velmora.desktop
/usr/share/bash-completion/completions/vlm-cli
/usr/share/doc/velmora/changelog.gz
/usr/share/doc/velmora/copyright
/usr/share/icons/hicolor/128x128/apps/velmora.png
/usr/share/icons/hicolor/16x16/apps/velmora.png
/usr/share/icons/hicolor/22x22/apps/velmora.png
/usr/share/icons/hicolor/24x24/apps/velmora.png
/usr/share/icons/hicolor/256x256/apps/velmora.png
/usr/share/icons/hicolor/32x32/apps/velmora.png
/usr/share/icons/hicolor/48x48/apps/velmora.png
/usr/share/icons/hicolor/64x64/apps/velmora.png
/usr/share/icons/hicolor/scalable/apps/velmora.svg
/usr/share/kio/servicemenus/velmora-protect-images.desktop
/usr/share/man/man1/vlm-cli.1.gz
/usr/share/man/man1/vlm-shell.1.gz
/usr/share/man/man1/vlm.1.gz
/usr/share/metainfo/io.github.velmora.Velmora.metainfo.xml
/usr/share/nemo/actions/velmora-protect-images.nemo_action
/usr/share/velmora/Help/help.css
/usr/share/velmora/Help/index.htm
/usr/share/velmora/Help/main.htm
/usr/share/velmora/Help/option.htm
/usr/share/velmora/Help/restore.htm
/usr/share/velmora/desktop/Protect Images
/usr/share/velmora/desktop/install.sh
/usr/share/velmora/desktop/page-types.sh
/usr/share/velmora/desktop/velmora-protect-images.desktop
/usr/share/velmora/desktop/velmora-protect-images.nemo_action
/usr/share/velmora/vlm.ini
FILES
diff -u "$scratch/expected" "$scratch/files" || fail "the package holds other files than expected"

step "lintian"
lintian_args=(--fail-on error --tag-display-limit 0)
[ "$(id -u)" -ne 0 ] || lintian_args+=(--allow-root)
lintian "${lintian_args[@]}" "$deb" || fail "lintian found errors"

step "unpack into a scratch root"
root=$scratch/root
dpkg-deb --extract "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/velmora.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.velmora.Velmora.metainfo.xml" ||
  fail "AppStream metadata"
# The system-wide file-manager entries carry the shipped page types.
grep -q '^MimeType=inode/directory;text/html;' "$root/usr/share/kio/servicemenus/velmora-protect-images.desktop" ||
  fail "Dolphin's service menu lists no page types"
grep -q '^Extensions=dir;.*htm' "$root/usr/share/nemo/actions/velmora-protect-images.nemo_action" ||
  fail "Nemo's action lists no page extensions"
! grep -q @ "$root/usr/share/kio/servicemenus/velmora-protect-images.desktop" \
  "$root/usr/share/nemo/actions/velmora-protect-images.nemo_action" || fail "a placeholder is left in a file-manager entry"
find "$root" | sort >"$scratch/root-before"

# Only the scratch root's programs, and a home with nothing in it.
home=$scratch/home
mkdir -p "$home" "$scratch/run"
chmod 700 "$scratch/run"
as_user() {
  env -i HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" XDG_RUNTIME_DIR="$scratch/run" \
    LANG=C.UTF-8 "$@"
}

step "vlm-cli --version"
[ "$(as_user vlm-cli --version)" = "Velmora $version" ] || fail "vlm-cli --version: $(as_user vlm-cli --version)"

step "vlm-cli protect and restore"
site=$scratch/site
cp -R "$sample" "$site"
as_user vlm-cli protect "$site" >"$scratch/protect.log" || { cat "$scratch/protect.log"; fail "protect"; }
tail -3 "$scratch/protect.log"
! diff -rq "$sample" "$site" >/dev/null || fail "protect changed nothing"
options=$home/.config/velmora/vlm.ini
cmp "$options" "$root/usr/share/velmora/vlm.ini" || fail "no copy of the shipped options in $options"
backups=$home/.local/share/velmora/Backup
sets() { find "$backups" -name '*.ind' 2>/dev/null | wc -l; }
[ "$(sets)" -eq 1 ] || fail "no backup set in the home's data folder"
as_user vlm-cli restore >"$scratch/restore.log" || { cat "$scratch/restore.log"; fail "restore"; }
diff -r "$sample" "$site" || fail "restore did not give the sample back"

step "vlm offscreen"
# Options with lone LF line ends: vlm writes CR LF when it saves them at its end.
sed -i 's/\r$//' "$options"
page=$site/gif.html
env -i HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" XDG_RUNTIME_DIR="$scratch/run" \
  QT_QPA_PLATFORM=offscreen vlm "$page" &
vlm_pid=$!
# A changed page means the window is up and its run has begun; the program
# ends after that run.
for _ in $(seq 600); do
  cmp -s "$sample/gif.html" "$page" || break
  kill -0 "$vlm_pid" 2>/dev/null || fail "vlm ended by itself"
  sleep 0.1
done
! cmp -s "$sample/gif.html" "$page" || fail "vlm did not protect $page"
kill -TERM "$vlm_pid"
status=0
wait "$vlm_pid" || status=$?
vlm_pid=
[ $status -eq 0 ] || fail "vlm ended with status $status"
grep -q $'\r$' "$options" || fail "vlm did not save its options into $options"
[ "$(sets)" -eq 2 ] || fail "vlm's run left no backup set in the home's data folder"

step "the installation is untouched"
find "$root" | sort >"$scratch/root-after"
diff -u "$scratch/root-before" "$scratch/root-after" || fail "files appeared in the installation"
(cd "$root" && md5sum --check --quiet "$scratch/control/md5sums") || fail "installed files changed"
echo "PASS"
