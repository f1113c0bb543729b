#!/usr/bin/env bash
# Builds the Debian package of a build folder, unpacks it into a throw-away root and checks what
# a terminal gets: the program, the shared files, the desktop entry and icon, and the control fields.
#   check_package.sh <build folder> <source folder> <version>
set -uo pipefail
build=$1 source=$2 version=$3
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0 checks=0
check() { # check <what> <command...>
  local what=$1; shift
  checks=$((checks + 1))
  if ! "$@" >/dev/null 2>&1; then
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}
contains() { grep -qxF -- "$2" "$1"; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb=$work/out/pos_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
  ls "$work/out"
  echo "FAIL: no package named $(basename "$deb")"
  exit 1
fi
root=$work/root
dpkg-deb -x "$deb" "$root"

# The program
check "usr/bin/pos is an executable" test -x "$root/usr/bin/pos"
check "usr/bin/pos is a stripped ELF program" sh -c "file -b '$root/usr/bin/pos' | grep -q 'ELF.*stripped' && ! file -b '$root/usr/bin/pos' | grep -q 'not stripped'"

# Shared files: the program looks for them in ../share/pos beside its folder
share=$root/usr/share/pos
for page in "$source"/help/*.htm "$source"/help/help.css; do
  check "help page $(basename "$page")" cmp "$page" "$share/help/$(basename "$page")"
done
for template in billtemplate.xls billduplicate.xls; do
  check "template $template" cmp "$build/$template" "$share/$template"
done

# Desktop entry and icon
desktop=$root/usr/share/applications/pos.desktop
check "desktop entry" test -f "$desktop"
for line in "[Desktop Entry]" "Type=Application" "Exec=pos" "Icon=pos" "Terminal=false"; do
  check "desktop entry has $line" contains "$desktop" "$line"
done
check "desktop entry is in a menu category" grep -q '^Categories=.*Office;' "$desktop"
if command -v desktop-file-validate >/dev/null; then
  check "desktop entry validates" desktop-file-validate "$desktop"
fi
icons=$root/usr/share/icons/hicolor
check "scalable icon" grep -q '<svg' "$icons/scalable/apps/pos.svg"
for size in 48 128 256; do
  check "${size}x${size} icon" sh -c "file -b '$icons/${size}x${size}/apps/pos.png' | grep -q 'PNG image data, $size x $size'"
done

# Nothing outside /usr, all of it root's and none of it writable by others
dpkg-deb -c "$deb" >"$work/contents"
check "every file lies below /usr" sh -c "! awk '{print \$6}' '$work/contents' | grep -v -e '^\./\$' -e '^\./usr/'"
check "every file belongs to root" sh -c "! awk '{print \$2}' '$work/contents' | grep -v '^root/root\$'"
check "no file writable by group or others" sh -c "! awk '{print \$1}' '$work/contents' | grep -E '^.{5}w|^.{8}w'"

# Control fields
field() { dpkg-deb -f "$deb" "$1"; }
check "Package: pos" test "$(field Package)" = pos
check "Version: $version" test "$(field Version)" = "$version"
check "Architecture: $arch" test "$(field Architecture)" = "$arch"
check "Maintainer set" test -n "$(field Maintainer)"
check "Description set" test -n "$(field Description)"
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
for package in libqt6sql6-mysql mariadb-client libsodium23 libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 \
  libqt6network6 libc6 libstdc++6; do
  check "Depends: $package" grep -qxF "$package" <<<"$depends"
done

echo "package $(basename "$deb"): $checks checks, $failures failures"
[ "$failures" -eq 0 ]
