#!/usr/bin/env bash
# Install into a temporary DESTDIR as `make install` does, check what lands there, validate the
# menu entry and the metainfo as installed, and take it all away again as `make uninstall` does.
# Usage: install_test.sh <step> <build folder> <source folder> <scratch folder>
#   install    install (prefix /usr/local and a home-style prefix) and check the file lists
#   entry      desktop-file-validate on the installed entries; Exec= is the installed program
#   metainfo   appstreamcli validate --no-net on the installed metainfo
#   uninstall  scripts/uninstall leaves none of our files (nor our doc folder) behind
set -euo pipefail
step=$1 build=$2 source=$3 scratch=$4
prefixes=(/usr/local /home/someone/.local)
expected="$source/tests/install/expected_files.txt"
fail() { echo "FAIL: $*" >&2; exit 1; }

case $step in
install)
  rm -rf "$scratch"
  for prefix in "${prefixes[@]}"; do
    DESTDIR="$scratch" cmake --install "$build" --prefix "$prefix" >/dev/null
    actual=$(cd "$scratch$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
    diff -u <(LC_ALL=C sort "$expected") <(echo "$actual") ||
      fail "files installed under $prefix differ from $expected"
    [ -x "$scratch$prefix/bin/kvr" ] || fail "$prefix/bin/kvr is not executable"
    # Nothing marks an installed copy as a build folder.
    [ ! -e "$scratch$prefix/bin/kvr.build-tree" ] || fail "the build-folder mark was installed"
    # Each icon is the size its folder says.
    for png in "$scratch$prefix"/share/icons/hicolor/*/apps/org.example.kelvoro.png; do
      size=$(basename "$(dirname "$(dirname "$png")")")
      file -b "$png" | grep -q "PNG image data, ${size/x/ x }," ||
        fail "$png is not a ${size} PNG: $(file -b "$png")"
    done
    man -l "$scratch$prefix/share/man/man1/kvr.1.gz" >/dev/null 2>&1 || fail "man page does not render"
  done
  echo "install: ${#prefixes[@]} prefixes, $(wc -l <"$expected") files each"
  ;;
entry)
  for prefix in "${prefixes[@]}"; do
    entry="$scratch$prefix/share/applications/org.example.kelvoro.desktop"
    desktop-file-validate "$entry" || fail "desktop-file-validate: $entry"
    grep -qx "Exec=$prefix/bin/kvr" "$entry" || fail "Exec= is not $prefix/bin/kvr in $entry"
    grep -qx "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2" "$entry" ||
      fail "the KWin ScreenShot2 grant is missing"
    grep -qx "Icon=org.example.kelvoro" "$entry" || fail "Icon= is not the installed icon's name"
    grep -qx "Exec=$prefix/bin/kvr --shot -d 5 -w" "$entry" ||
      fail "the delayed window shot's action does not run $prefix/bin/kvr"
    # Every Name= in one default language (English), Japanese beside it; the keywords name PNG.
    [ "$(grep -c '^Name=[ -~]*$' "$entry")" = "$(grep -c '^Name=' "$entry")" ] ||
      fail "a Name= of $entry is not in English"
    [ "$(grep -c '^Name\[ja\]=' "$entry")" = 2 ] || fail "an action has no Japanese name"
    grep -q '^Keywords=.*PNG' "$entry" || fail "the keywords do not name PNG"
  done
  echo "entry: valid for ${prefixes[*]}"
  ;;
metainfo)
  appstreamcli validate --no-net --pedantic \
    "$scratch${prefixes[0]}/share/metainfo/org.example.kelvoro.metainfo.xml"
  ;;
uninstall)
  for prefix in "${prefixes[@]}"; do
    BUILD="$build" PREFIX="$prefix" DESTDIR="$scratch" bash "$source/scripts/uninstall" >/dev/null
    left=$(cd "$scratch$prefix" && find . -type f -o -type l)
    [ -z "$left" ] || fail "left behind under $prefix: $left"
    [ ! -e "$scratch$prefix/share/doc/kelvoro" ] || fail "share/doc/kelvoro left under $prefix"
  done
  rm -rf "$scratch"
  echo "uninstall: nothing left"
  ;;
*) fail "unknown step $step" ;;
esac
