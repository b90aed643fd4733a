#!/usr/bin/env bash
# Installs this build into a temporary prefix and packs it as a .deb, and
# checks both as a packager would: every file in its place, a valid desktop
# entry, programs that answer --version without a display, and a package that
# depends on the Qt libraries and SQL drivers it needs.
#   install_check.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0
check() {
  checks=$((checks + 1))
  if ! eval "$1"; then
    echo "FAIL: $2"
    failures=$((failures + 1))
  fi
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/varnolt bin/varnolt-cli share/applications/varnolt.desktop \
            share/icons/hicolor/scalable/apps/varnolt.svg share/man/man1/varnolt.1.gz \
            share/man/man1/varnolt-cli.1.gz share/varnolt/HAND-M.CUR share/doc/varnolt/copyright; do
  check "[ -s '$work/prefix/$file' ]" "$file is installed"
done
check "desktop-file-validate '$work/prefix/share/applications/varnolt.desktop'" "the desktop entry is valid"
check "grep -qx 'Exec=varnolt %f' '$work/prefix/share/applications/varnolt.desktop'" "the entry starts varnolt with the file it is given"
version=$(sed -nE 's/^project\(Varnolt VERSION ([0-9.]+).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
for program in varnolt varnolt-cli; do
  check "[ \"\$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '$work/prefix/bin/$program' --version)\" = '$program $version' ]" \
    "$program --version prints $version without a display"
  check "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '$work/prefix/bin/$program' -h | grep -q -- '--version'" \
    "$program -h prints the help"
done
for page in varnolt varnolt-cli; do
  check "[ -z \"\$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l '$work/prefix/share/man/man1/$page.1.gz' 2>&1 >/dev/null)\" ]" \
    "the manual page of $page reads without warnings"
done

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/varnolt_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6sql6 libqt6sql6-sqlite libsqlite3-0; do
  check "echo '$depends' | grep -q '$needed'" "the package depends on $needed"
done
dpkg-deb -c "$deb" > "$work/contents"
check "grep -q './usr/bin/varnolt-cli$' '$work/contents'" "the package holds varnolt-cli"
check "grep -q './usr/share/applications/varnolt.desktop$' '$work/contents'" "the package holds the desktop entry"
check "[ \"\$(dpkg-deb -f '$deb' Version)\" = '$version' ]" "the package has the version $version"
check "lintian --fail-on error '$deb' >/dev/null 2>&1" "lintian finds no error in the package"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
