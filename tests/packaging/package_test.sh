#!/usr/bin/env bash
# The installed tree and the Debian package: every file a desktop and a shell look for, and
# programs that start from where the package put them.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
installed=""
cleanup() {
  [ -n "$installed" ] && dpkg -r veltrane >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

expected=(
  bin/veltrane bin/veltrane-cli
  share/applications/veltrane.desktop
  share/icons/hicolor/scalable/apps/veltrane.svg
  share/icons/hicolor/48x48/apps/veltrane.png share/icons/hicolor/256x256/apps/veltrane.png
  share/man/man1/veltrane.1 share/man/man1/veltrane-cli.1
  share/bash-completion/completions/veltrane-cli
  share/doc/veltrane/copyright
)
check_tree() {
  local root=$1 f
  for f in "${expected[@]}"; do
    [ -s "$root/$f" ] || { echo "missing from $2: $f"; exit 1; }
  done
  # Each icon is the size its folder says (read by ImageMagick, not by us).
  for size in 48 256; do
    got=$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x${size}/apps/veltrane.png")
    [ "$got" = "${size}x${size}" ] || { echo "icon ${size}: $got"; exit 1; }
  done
  grep -q '^Categories=.*Education;Science;' "$root/share/applications/veltrane.desktop"
  # The manual pages are well-formed roff.
  for page in veltrane veltrane-cli; do
    LC_ALL=C.UTF-8 man --warnings -l "$root/share/man/man1/$page.1" 2>&1 >/dev/null |
      { ! grep .; } || { echo "$page.1 has roff warnings"; exit 1; }
  done
  # The completion offers the commands.
  (
    set +u
    source "$root/share/bash-completion/completions/veltrane-cli"
    COMP_WORDS=(veltrane-cli re)
    COMP_CWORD=1
    _veltrane_cli
    [ "${COMPREPLY[*]}" = "render" ] || { echo "completion: ${COMPREPLY[*]}"; exit 1; }
    COMP_WORDS=(veltrane-cli mesh --layout re)
    COMP_CWORD=3
    _veltrane_cli
    [ "${COMPREPLY[*]}" = "reduced-flat" ] || { echo "completion: ${COMPREPLY[*]}"; exit 1; }
    COMP_WORDS=(veltrane-cli render --view o)
    COMP_CWORD=3
    _veltrane_cli
    [ "${COMPREPLY[*]}" = "oblique" ] || { echo "completion: ${COMPREPLY[*]}"; exit 1; }
    COMP_WORDS=(veltrane-cli render --format p)
    _veltrane_cli
    [ "${COMPREPLY[*]}" = "png" ] || { echo "completion: ${COMPREPLY[*]}"; exit 1; }
  )
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix" "cmake --install"
"$work/prefix/bin/veltrane-cli" --version | grep -qx 'veltrane-cli [0-9.]*'
"$work/prefix/bin/veltrane" --version | grep -qx 'veltrane [0-9.]*'

(cd "$build" && cpack -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/veltrane_*.deb)
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6
dpkg-deb -x "$deb" "$work/unpacked"
check_tree "$work/unpacked/usr" "the package"
if [ "$(id -u)" -eq 0 ] && ! dpkg -s veltrane >/dev/null 2>&1; then
  dpkg -i "$deb" >/dev/null
  installed=yes
  /usr/bin/veltrane-cli --version | grep -q veltrane-cli
  /usr/bin/veltrane-cli info AAA | grep -q 'boundary: 3_1'
  /usr/bin/veltrane --help | grep -q Usage
else
  echo "not installed with dpkg -i: needs root and no veltrane package already installed"
fi
echo "package ok"
