#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installed program as a desktop sees it: this build installed into a
# scratch prefix, judged by the desktop's own tools in a bare environment (the
# scratch prefix and the shared MIME types alone: no desktop settings or
# other programs of this machine). Usage: install_test.sh CMAKE BUILD_DIR.
# Exit status 77 (skipped) when a tool is missing.
set -uo pipefail
cmake=$1 build=$2
id=io.github.tunecrate.Tunecrate

for tool in desktop-file-validate appstreamcli update-mime-database update-desktop-database \
            xdg-mime mimetype man lexgrog file; do
  command -v "$tool" >/dev/null ||
    { echo "SKIP install: $tool is missing (scripts/install-deps.sh installs it)"; exit 77; }
done
[ -f /usr/share/mime/packages/freedesktop.org.xml ] || { echo "SKIP install: no shared MIME database"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix share=$scratch/prefix/share
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; echo "FAIL: cmake --install $build"; exit 1; }

desktop=$share/applications/$id.desktop metainfo=$share/metainfo/$id.metainfo.xml
man_page=$share/man/man1/tunecrate.1.gz
for f in "$prefix/bin/tunecrate" "$desktop" "$metainfo" "$man_page" "$share/mime/packages/$id.xml" \
         "$share/icons/hicolor/scalable/apps/$id.svg" "$share/doc/tunecrate/copyright"; do
  [ -s "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
[ -e "$share/doc/tunecrate/changelog.Debian.gz" ] && fail "the Debian change log is installed outside the package"
for size in 16 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "icon ${size}x${size}: $(file -b "$png")"
done

# The names that tie the files together.
grep -qx "Icon=$id" "$desktop" || fail "the desktop file's Icon is not $id"
grep -qx 'Exec=tunecrate %f' "$desktop" || fail "the desktop file does not start the installed tunecrate"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $id.desktop"

out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) && ! grep -qE '^[EW]:' <<<"$out" ||
  fail "appstreamcli validate: $out"
out=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page" 2>&1 >/dev/null)
[ -z "$out" ] || fail "man --warnings: $out"
lexgrog "$man_page" >/dev/null || fail "lexgrog finds no NAME line in the man page"

# The installed program runs, and its version is the one the metainfo and the
# man page announce (the metainfo writes a pre-release as Debian does, 1.0~b3).
version=$("$prefix/bin/tunecrate" --version) || fail "the installed tunecrate --version exits $?"
version=${version##* Ver.}
release=$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[ "${release/\~/}" = "$version" ] || fail "newest metainfo release $release, program version $version"
zcat "$man_page" | grep -q "^\.TH .*\"Tunecrate $version\"" || fail "the man page is not for version $version"

# File types and the default program, as xdg-mime finds them without a desktop
# (xdg-mime's generic lookups: mimetype and the mimeinfo.cache files).
# The system's database as the shared-mime-info package alone gives it, so a
# copy of Tunecrate installed on this machine plays no part.
mkdir -p "$scratch/system/mime/packages" "$scratch/home"
cp /usr/share/mime/packages/freedesktop.org.xml "$scratch/system/mime/packages/"
update-mime-database "$scratch/system/mime" || fail "update-mime-database of the system's types"
bare() {
  env -i PATH="$PATH" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
    XDG_CONFIG_DIRS="$scratch/etc" XDG_DATA_HOME="$scratch/home/.local/share" XDG_DATA_DIRS="$1" "${@:2}"
}
installed=$share:$scratch/system
bare "$installed" update-mime-database "$share/mime" || fail "update-mime-database $share/mime"
bare "$installed" update-desktop-database "$share/applications" || fail "update-desktop-database $share/applications"
"$prefix/bin/tunecrate" --new-floppy "$scratch/DSKA0000.IMA" || fail "tunecrate --new-floppy"
for sample in disk.ima:application/x-raw-floppy-disk-image DSKA0000.IMA:application/x-raw-floppy-disk-image \
              disk.img:application/x-raw-disk-image; do
  name=${sample%%:*} want=${sample#*:}
  [ -e "$scratch/$name" ] || cp "$scratch/DSKA0000.IMA" "$scratch/$name"
  got=$(bare "$installed" xdg-mime query filetype "$scratch/$name")
  [ "$got" = "$want" ] || fail "xdg-mime query filetype $name: '$got', not $want"
done
# The system's database alone does not know *.ima: the installed one is what names it.
got=$(bare "$scratch/system" xdg-mime query filetype "$scratch/disk.ima")
[ "$got" != application/x-raw-floppy-disk-image ] || fail "*.ima is known without the installed MIME file"
for type in application/x-raw-disk-image application/x-raw-floppy-disk-image; do
  got=$(bare "$installed" xdg-mime query default "$type")
  [ "$got" = "$id.desktop" ] || fail "xdg-mime query default $type: '$got', not $id.desktop"
done

[ "$failures" -eq 0 ] || { echo "install: $failures failure(s)"; exit 1; }
echo "install: the installed program, its desktop file, metainfo, man page, icons and file types are sound"
