#!/usr/bin/env bash
# The Debian package, as `make deb` makes it.
# Usage: package_test.sh <step> <build folder> <source folder> <package folder> <version>
#   build     cpack into the package folder: exactly one kelvoro_<version>_<arch>.deb
#   contents  its files are the install rules' under /usr, owned by root; control fields; the
#             project's version in the package, its changelog, metainfo and man page
#   lintian   no errors (warnings and notes are printed, not fatal)
set -euo pipefail
step=$1 build=$2 source=$3 out=$4 version=${5:-}
fail() { echo "FAIL: $*" >&2; exit 1; }
deb() {
  local found=("$out"/kelvoro_*.deb)
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || fail "not exactly one package in $out"
  echo "${found[0]}"
}

case $step in
build)
  rm -rf "$out"
  (cd "$build" && cpack -G DEB -B "$out" >"$out.log" 2>&1) || { cat "$out.log"; fail "cpack"; }
  echo "built $(basename "$(deb)")"
  ;;
contents)
  package=$(deb)
  field() { dpkg-deb -f "$package" "$1"; }
  [ "$(field Package)" = kelvoro ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
  unpacked() { dpkg-deb --fsys-tarfile "$package" | tar -xO "./usr/share/$1"; }
  changelog=$(unpacked doc/kelvoro/changelog.gz | gunzip)
  [[ ${changelog%%$'\n'*} == "kelvoro ($version) "* ]] ||
    fail "the changelog's top entry is not $version"
  releases=$(unpacked metainfo/org.example.kelvoro.metainfo.xml | grep '<release ')
  [[ ${releases%%$'\n'*} == *"version=\"$version\""* ]] ||
    fail "the metainfo's newest release is not $version"
  man=$(unpacked man/man1/kvr.1.gz | gunzip)
  [[ $man == *"\"Kelvoro $version\""* ]] || fail "the man page is not of $version"
  # shlibdeps found the libraries the program links (under their 64-bit time_t names where
  # the release renamed them: libqt6core6t64).
  for lib in libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo libisal2 zlib1g libwebp7 libx11-6 libc6; do
    field Depends | grep -Eq "\b$lib(t64)?\b" || fail "Depends lacks $lib: $(field Depends)"
  done
  listing=$(dpkg-deb -c "$package")
  files=$(echo "$listing" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | LC_ALL=C sort)
  diff -u <(LC_ALL=C sort "$source/tests/install/expected_files.txt") <(echo "$files") ||
    fail "package files differ from the install rules"
  owners=$(echo "$listing" | awk '{ print $2 }' | sort -u)
  [ "$owners" = root/root ] || fail "owners: $owners"
  dpkg-deb --fsys-tarfile "$package" | tar -xO ./usr/share/applications/org.example.kelvoro.desktop |
    grep -qx 'Exec=/usr/bin/kvr' || fail "the package's entry does not run /usr/bin/kvr"
  echo "contents: $(echo "$files" | wc -l) files; Depends: $(field Depends)"
  ;;
lintian)
  package=$(deb)
  lintian --fail-on error --display-info --tag-display-limit 0 "$package" ||
    fail "lintian found errors"
  echo "lintian: no errors"
  ;;
*) fail "unknown step $step" ;;
esac
