#!/usr/bin/env bash
# The packages as users get them.
#
# Linux: builds the Debian package from a Release build without sanitizers
# (build/package), installs it with apt, flashes the simulated modem with the
# installed programs, checks where the man pages, desktop entry and icons went,
# and removes the package again, also when a check fails.
# Windows: packs the zip of the 32-bit build (build/win32, configured by
# scripts/test.sh) and checks what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "package check: $*" >&2
  exit 1
}

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_get() {
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"
}
# Installed, or partly: anything dpkg still knows of the package.
package_present() {
  local status
  status=$(dpkg-query -W -f='${db:Status-Status}' flashloader 2>/dev/null) || return 1
  [ -n "$status" ] && [ "$status" != not-installed ]
}
remove_package() {
  if package_present; then
    apt_get remove --purge flashloader
  fi
}

# --- Debian package ---
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DFLASHLOADER_SANITIZE=OFF -DFLASHLOADER_TESTS=OFF
cmake --build build/package -j"$(nproc)"
rm -f build/package/flashloader_*.deb
(cd build/package && cpack -G DEB)
debs=("$PWD"/build/package/flashloader_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack made no flashloader_*.deb"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libgtk-3-0* && $depends == *libc6* ]] || fail "library dependencies not computed: '$depends'"

if package_present; then
  echo "package check: removing flashloader left installed by an earlier run"
  remove_package
fi
work=$(mktemp -d)
cleanup() {
  remove_package
  rm -rf "$work"
}
trap cleanup EXIT
apt_get install "$deb"

installed_files=(
  /usr/share/man/man1/flashloader.1 /usr/share/man/man1/flashloader-cli.1 /usr/share/man/man1/modemsim.1
  /usr/share/applications/flashloader.desktop
  /usr/share/icons/hicolor/scalable/apps/flashloader.svg
  /usr/share/icons/hicolor/48x48/apps/flashloader.png
  /usr/share/icons/hicolor/256x256/apps/flashloader.png
  /usr/share/doc/flashloader/README.md
)
for file in "${installed_files[@]}"; do
  [ -f "$file" ] || fail "not installed: $file"
done
for size in 48 256; do
  [[ $(file -b "/usr/share/icons/hicolor/${size}x${size}/apps/flashloader.png") == "PNG image data, $size x $size,"* ]] ||
    fail "the ${size}x${size} icon is not a $size x $size PNG"
done
for page in /usr/share/man/man1/{flashloader,flashloader-cli,modemsim}.1; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
desktop-file-validate /usr/share/applications/flashloader.desktop || fail "the desktop entry does not validate"

# The installed programs only: PATH holds no build directory, so the
# simulator --simulate starts is the installed one beside flashloader-cli.
export PATH=/usr/bin:/bin
[ "$(command -v flashloader-cli)" = /usr/bin/flashloader-cli ] || fail "flashloader-cli is not found in /usr/bin"
flashloader --version >/dev/null || fail "the installed flashloader does not start"
(cd "$work" && flashloader-cli --simulate --yes </dev/null >"$work/simulate.log" 2>&1) ||
  fail "flashloader-cli --simulate ended with exit status $?: $(tail -n 20 "$work/simulate.log")"
grep -q "Simulated modem: its flash holds the image." "$work/simulate.log" ||
  fail "flashloader-cli --simulate did not report the flash holding the image"
echo "package check: $(basename "$deb") installed, flashed the simulated modem, files in place"

cleanup
trap - EXIT
! package_present || fail "flashloader is still installed after its removal"
[ ! -e /usr/bin/flashloader-cli ] || fail "/usr/bin/flashloader-cli is left after the removal"
echo "package check: $(basename "$deb") removed"

# --- Windows zip ---
[ -f build/win32/CMakeCache.txt ] || fail "build/win32 is not configured (scripts/test.sh configures it)"
cmake --build build/win32 -j"$(nproc)" --target flashloader
rm -f build/win32/flashloader-*.zip
(cd build/win32 && cpack -G ZIP)
zips=("$PWD"/build/win32/flashloader-*-win32.zip)
zip=${zips[0]}
[ -f "$zip" ] || fail "cpack made no flashloader-*-win32.zip"
echo "package check: $(basename "$zip") holds:"
cmake -E tar tf "$zip" | sed 's/^/  /'
top=$(basename "$zip" .zip)
listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$listing" = "$top/README-windows.txt $top/flashloader.exe " ] || fail "unexpected zip contents: $listing"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
[[ $(file -b "$unpacked/$top/flashloader.exe") == "PE32 executable (GUI) Intel 80386"* ]] ||
  fail "flashloader.exe is not a 32-bit Windows program"
[[ $(file -b "$unpacked/$top/README-windows.txt") == *"CRLF line terminators"* ]] ||
  fail "README-windows.txt lacks Windows line ends"
echo "package check: passed"
