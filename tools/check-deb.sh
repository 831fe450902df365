#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from a configured build folder, checks it with lintian (no error, no
# warning), validates its AppStream metadata and desktop entry, installs it with its
# dependencies, and checks that its manual page is found and that the installed program starts
# with its built-in picture on the offscreen platform. Usage: tools/check-deb.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

tools=(lintian appstream desktop-file-utils dpkg-dev file man-db)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" > /dev/null
fi

rm -f "$build"/kelmo_*.deb "$build"/kelmo-dbgsym_*.ddeb
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls -t "$build"/kelmo_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb -f "$deb" Depends Installed-Size
# The readers' system-call filter is linked: its library must be among the dependencies.
dpkg-deb -f "$deb" Depends | grep -q "libseccomp2" || { echo "Depends lacks libseccomp2"; exit 1; }
# The GIF module (kelmo-gif.so) reads animations with giflib, which has no other way in.
dpkg-deb -f "$deb" Depends | grep -q "libgif7" || { echo "Depends lacks libgif7"; exit 1; }
lintian --fail-on error,warning "$deb" 2> >(grep -v "root privileges" >&2)
echo "lintian: no error, no warning"
appstreamcli validate --no-net "$build/packaging/org.kelmo.kelmo.metainfo.xml"
desktop-file-validate "$build/packaging/kelmo.desktop"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "$PWD/$deb" > /dev/null

for f in /usr/bin/kelmo /usr/share/applications/kelmo.desktop \
         /usr/share/icons/hicolor/scalable/apps/kelmo.svg \
         /usr/share/icons/hicolor/48x48/apps/kelmo.png \
         /usr/share/metainfo/org.kelmo.kelmo.metainfo.xml /usr/share/doc/kelmo/copyright; do
  [ -e "$f" ] || { echo "missing after install: $f"; exit 1; }
done
man -w kelmo | grep -q "/usr/share/man/man1/kelmo.1.gz" || { echo "man kelmo finds no page"; exit 1; }

# The program shows no message when it starts with its built-in picture, so it is still running
# when the timeout ends it; anything else (a crash, a missing library) ends it sooner.
set +e
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/kelmo 2> /tmp/kelmo-deb-start.log
rc=$?
set -e
if [ "$rc" -ne 124 ]; then
  echo "the installed kelmo ended with status $rc:"; cat /tmp/kelmo-deb-start.log; exit 1
fi
echo "installed kelmo starts: ok"
