#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, installs it with its dependencies,
# and checks that the installed program starts with its built-in picture on the offscreen
# platform. Usage: tools/check-deb.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls -t "$build"/kelmo_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb -f "$deb" Depends
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$PWD/$deb" > /dev/null

for f in /usr/bin/kelmo /usr/share/applications/kelmo.desktop \
         /usr/share/icons/hicolor/scalable/apps/kelmo.svg \
         /usr/share/icons/hicolor/48x48/apps/kelmo.png; do
  [ -e "$f" ] || { echo "missing after install: $f"; exit 1; }
done
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate /usr/share/applications/kelmo.desktop
fi

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
