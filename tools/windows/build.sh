#!/bin/bash
# Builds Kelmo for 64-bit Windows with the MinGW-w64 cross-compiler, runs the in-process test
# suite under Wine, and packages the program: build-windows/kelmo-<version>-setup.exe (NSIS)
# and build-windows/kelmo-<version>-windows-x64.zip (the same folder, portable).
# Needs the dependency cache made once by tools/windows/build-deps.sh.
# With --if-cached, a machine without the cache skips the whole build, saying so on one line.
#
# KELMO_WINDOWS_JOBS sets the build's parallel jobs (default: the number of processors);
# KELMO_WINDOWS_SKIP_TESTS=1 builds and packages without running the suite and the desktop test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
repo=$(cd "$here/../.." && pwd)
out=${KELMO_WINDOWS_BUILD:-$repo/build-windows}
deps=$KELMO_WINDOWS_DEPS
jobs=${KELMO_WINDOWS_JOBS:-$(nproc)}

log() { printf 'windows: %s\n' "$*"; }

if [ ! -f "$deps/.complete" ] && [ "${1:-}" = --if-cached ]; then
  log "skipped: no dependency cache at $deps (tools/windows/build-deps.sh makes it once)"
  exit 0
fi
if [ ! -f "$deps/.complete" ]; then
  log "no dependency cache at $deps: run tools/windows/build-deps.sh first"
  exit 1
fi

# Windows' own form of a folder of this machine, as Wine sees it (drive Z: is the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# The folders Windows looks in for DLLs, for the tests run from the build tree.
wine_path=$(windows_path "$deps/qt/bin")
for dir in "$deps/libs/bin" $KELMO_MINGW_RUNTIME_DIRS; do
  wine_path+=";$(windows_path "$dir")"
done

# A fresh Wine prefix, as a new Windows 10 machine, with no display needed.
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
new_wine_prefix() {
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine winecfg -v win10 >/dev/null 2>&1
  wineserver -w
}

configure_and_build() {
  # The toolchain file points pkg-config at the cache's libraries.
  cmake -S "$repo" -B "$out/kelmo" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" -DKELMO_WINDOWS_DEPS="$deps" \
    -DCMAKE_PREFIX_PATH="$deps/qt;$deps/libs" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DKELMO_GTEST_SOURCE_DIR=/usr/src/googletest -DKELMO_WARNINGS_AS_ERRORS=ON \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST \
    -DCMAKE_INSTALL_PREFIX="$out/stage"
  cmake --build "$out/kelmo" -j "$jobs"
}

run_tests() {
  new_wine_prefix
  WINEPATH=$wine_path QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$out/kelmo" -j "$jobs" --output-on-failure --timeout 600
}

# The installed folder: the program, the Qt plug-ins it loads, and every DLL these need that
# is not Windows' own, found by following their imports.
stage() {
  rm -rf "$out/stage"
  cmake --install "$out/kelmo"
  local search=("$deps/qt/bin" "$deps/libs/bin" $KELMO_MINGW_RUNTIME_DIRS)
  local added=1
  while [ $added = 1 ]; do
    added=0
    local dll
    while read -r dll; do
      [ -e "$out/stage/$dll" ] && continue
      local dir found=
      for dir in "${search[@]}"; do
        found=$(find "$dir" -maxdepth 1 -iname "$dll" | head -1)
        [ -n "$found" ] && break
      done
      [ -z "$found" ] && continue # Windows' own
      cp "$found" "$out/stage/$dll"
      added=1
    done < <(find "$out/stage" -iname '*.exe' -o -iname '*.dll' | while read -r f; do
      $KELMO_MINGW_TRIPLET-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p'
    done | sort -u)
  done
  find "$out/stage" \( -iname '*.exe' -o -iname '*.dll' \) -exec $KELMO_MINGW_TRIPLET-strip \
    --strip-unneeded {} +
}

package() {
  local version
  version=$(sed -n 's/^project(Kelmo VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
  local zip=$out/kelmo-$version-windows-x64.zip setup=$out/kelmo-$version-setup.exe
  rm -f "$zip" "$setup"
  (cd "$out/stage" && rm -rf ../zip && mkdir -p ../zip && cp -r . ../zip/Kelmo &&
    cd ../zip && zip -qr9X "$zip" Kelmo)
  rm -rf "$out/zip"
  # The uninstaller removes exactly what was installed: the list is made from the folder.
  (cd "$out/stage" && {
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
  }) >"$out/installed-files.nsh"
  makensis -V2 -DVERSION="$version" -DSTAGE="$out/stage" -DFILES="$out/installed-files.nsh" \
    -DOUTFILE="$setup" "$repo/packaging/windows/kelmo.nsi"
  log "wrote $setup and $zip"
  setup_made=$setup
}

# The installed program on a desktop: Xvfb, openbox and Wine.
desktop_test() {
  xvfb-run -a -s "-screen 0 1920x1080x24" "$repo/tests/desktop/windows-desktop-test.sh" \
    "$1" "$out/kelmo/tests/kelmo_clipboard_dib.exe"
}

testing=1
[ "${KELMO_WINDOWS_SKIP_TESTS:-0}" = 1 ] && testing=0
configure_and_build
[ $testing = 1 ] && run_tests
stage
package
[ $testing = 1 ] && desktop_test "$setup_made"
log "done"
