#!/bin/bash
# Builds what Kelmo for Windows is built against: Qt and every picture library the readers
# use, cross-compiled from Debian's own source packages with the MinGW-w64 toolchain, into one
# cache folder ($KELMO_WINDOWS_DEPS, by default ~/.cache/kelmo/windows-<key of the recipe>).
# With the cache complete it does nothing. Each part is built once: a part that finished is
# not built again if a later one fails, so running the script again resumes.
#
#   tools/windows/build-deps.sh [part...]   (all parts when none is named)
#
# KELMO_WINDOWS_JOBS sets the build's parallel jobs (default: the number of processors).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

deps=$KELMO_WINDOWS_DEPS
work=${KELMO_WINDOWS_WORK:-$deps.work}
libs=$deps/libs
jobs=${KELMO_WINDOWS_JOBS:-$(nproc)}
toolchain=$here/mingw-w64-x86_64.cmake
all_parts=(qt zlib libjpeg libdeflate libwebp lcms2 dav1d libde265 libheif brotli highway libjxl giflib)

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev nasm meson ninja-build cmake pkg-config
  dpkg-dev qt6-base-dev qt6-base-dev-tools googletest wine wine64 nsis zip
  qt6-translations-l10n xvfb xauth openbox xdotool x11-utils imagemagick webp libavif-bin
  libheif-examples libjxl-tools)

log() { printf 'build-deps: %s\n' "$*"; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} = 0 ] && return
  log "installing ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# apt-get source needs deb-src entries: the machine's own entries, as source entries.
ensure_source_entries() {
  if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  local own=/etc/apt/sources.list.d/debian.sources
  [ -f "$own" ] || { log "no deb-src entry and no $own to derive one from"; exit 1; }
  log "adding source entries next to $own"
  sed 's/^Types: deb$/Types: deb-src/' "$own" |
    as_root tee /etc/apt/sources.list.d/kelmo-windows-src.sources >/dev/null
  as_root apt-get update -q
}

# Unpacks a Debian source package into $work/src and prints its folder. Versions are tried in
# order; the newest security release's files are at times not yet downloadable.
fetch() {
  local name=$1; shift
  mkdir -p "$work/src"
  local existing
  existing=$(find "$work/src" -maxdepth 1 -type d -name "$name-[0-9]*" | head -1)
  if [ -n "$existing" ]; then echo "$existing"; return; fi
  local candidates=("$@") v
  [ ${#candidates[@]} = 0 ] && candidates=("")
  # Last, the release's own version, which its security updates may hide from a plain request.
  local release
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  for v in "${candidates[@]}" "release"; do
    local request=("$name${v:+=$v}")
    [ "$v" = release ] && request=(-t "$release" "$name")
    if (cd "$work/src" && apt-get source -q "${request[@]}" >&2); then
      find "$work/src" -maxdepth 1 -type d -name "$name-[0-9]*" | head -1
      return
    fi
  done
  log "could not fetch the source of $name" >&2
  return 1
}

cross_env() {
  export PKG_CONFIG_LIBDIR=$libs/lib/pkgconfig PKG_CONFIG_PATH= PKG_CONFIG_SYSROOT_DIR=
}

cmake_part() { # cmake_part NAME SOURCE [options...]
  local name=$1 source=$2; shift 2
  cross_env
  cmake -S "$source" -B "$work/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKELMO_WINDOWS_DEPS="$deps" \
    -DCMAKE_INSTALL_PREFIX="$libs" -DCMAKE_PREFIX_PATH="$libs" "$@"
  cmake --build "$work/build/$name" -j "$jobs"
  cmake --install "$work/build/$name"
}

meson_part() { # meson_part NAME SOURCE [options...]
  local name=$1 source=$2; shift 2
  cross_env
  local cross=$work/meson-cross.ini
  cat >"$cross" <<INI
[binaries]
c = '$KELMO_MINGW_TRIPLET-gcc-posix'
cpp = '$KELMO_MINGW_TRIPLET-g++-posix'
ar = '$KELMO_MINGW_TRIPLET-ar'
strip = '$KELMO_MINGW_TRIPLET-strip'
windres = '$KELMO_MINGW_TRIPLET-windres'
pkg-config = 'pkg-config'
exe_wrapper = 'wine'
nasm = 'nasm'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
INI
  rm -rf "$work/build/$name"
  meson setup "$work/build/$name" "$source" --cross-file "$cross" --prefix "$libs" \
    --libdir lib --buildtype release --default-library shared "$@"
  ninja -C "$work/build/$name" -j "$jobs"
  ninja -C "$work/build/$name" install
}

build_qt() {
  local source build=$work/build/qt
  source=$(fetch qt6-base 6.4.2+dfsg-10)
  mkdir -p "$build"
  (cd "$build" && "$source/configure" -prefix "$deps/qt" -release -shared -xplatform win32-g++ \
    -qt-host-path /usr -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-zstd \
    -no-direct2d -no-feature-directwrite -no-feature-directwrite3 -qt-zlib -qt-pcre \
    -qt-harfbuzz -qt-freetype -qt-libpng -qt-libjpeg -no-feature-sql -no-feature-network \
    -no-feature-xml -no-feature-concurrent -no-feature-tabletevent \
    -no-feature-androiddeployqt -no-feature-vulkan -- \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKELMO_WINDOWS_DEPS=)
  cmake --build "$build" -j "$jobs"
  cmake --install "$build"
}

build_zlib() { # Debian's MinGW build, copied into the prefix with a pkg-config file.
  mkdir -p "$libs/bin" "$libs/lib/pkgconfig" "$libs/include"
  local m=/usr/$KELMO_MINGW_TRIPLET
  cp "$m/lib/zlib1.dll" "$libs/bin/"
  cp "$m/lib/libz.dll.a" "$libs/lib/"
  cp "$m/include/zlib.h" "$m/include/zconf.h" "$libs/include/"
  cat >"$libs/lib/pkgconfig/zlib.pc" <<PC
prefix=$libs
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: zlib
Description: zlib compression library
Version: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$m/include/zlib.h")
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
PC
}

build_libjpeg() {
  local source
  source=$(fetch libjpeg-turbo)
  cmake_part libjpeg "$source" -DENABLE_STATIC=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON
}

build_libdeflate() {
  local source; source=$(fetch libdeflate)
  make -C "$source" clean >/dev/null || true
  make -C "$source" -j "$jobs" CC=$KELMO_MINGW_TRIPLET-gcc-posix AR=$KELMO_MINGW_TRIPLET-ar \
    libdeflate.dll libdeflatestatic.lib libdeflate.lib
  mkdir -p "$libs/bin" "$libs/lib/pkgconfig" "$libs/include"
  cp "$source/libdeflate.dll" "$libs/bin/"
  cp "$source/libdeflate.lib" "$libs/lib/libdeflate.dll.a"
  cp "$source/libdeflate.h" "$libs/include/"
  cat >"$libs/lib/pkgconfig/libdeflate.pc" <<PC
prefix=$libs
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: libdeflate
Description: Fast implementation of DEFLATE, zlib, and gzip
Version: 1.14
Libs: -L\${libdir} -ldeflate
Cflags: -I\${includedir}
PC
}

build_libwebp() {
  local source
  source=$(fetch libwebp)
  cmake_part libwebp "$source" -DBUILD_SHARED_LIBS=ON -DWEBP_BUILD_ANIM_UTILS=OFF \
    -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF \
    -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF
}

build_lcms2() {
  local source build=$work/build/lcms2
  source=$(fetch lcms2)
  rm -rf "$build"; mkdir -p "$build"
  (cd "$build" && "$source/configure" --host=$KELMO_MINGW_TRIPLET --prefix="$libs" \
    --enable-shared --disable-static --without-jpeg --without-tiff \
    CC=$KELMO_MINGW_TRIPLET-gcc-posix && make -j "$jobs" -C src && make -C src install &&
    make install-pkgconfigDATA && make -C include install)
}

build_dav1d() {
  local source
  source=$(fetch dav1d)
  meson_part dav1d "$source" -Denable_tools=false -Denable_tests=false \
    -Denable_examples=false
}

build_libde265() {
  local source
  source=$(fetch libde265 1.0.11-1+deb12u4 1.0.11-1+deb12u2)
  cmake_part libde265 "$source" \
    -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF -DBUILD_SHARED_LIBS=ON
}

build_libheif() {
  local source
  source=$(fetch libheif 1.15.1-1+deb12u3 1.15.1-1+deb12u1)
  cmake_part libheif "$source" \
    -DBUILD_SHARED_LIBS=ON -DWITH_EXAMPLES=OFF -DBUILD_TESTING=OFF -DWITH_X265=OFF \
    -DWITH_AOM_DECODER=OFF -DWITH_AOM_ENCODER=OFF -DWITH_RAV1E=OFF -DWITH_SvtEnc=OFF \
    -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF \
    -DENABLE_PLUGIN_LOADING=OFF -DWITH_GDK_PIXBUF=OFF
}

build_brotli() {
  local source
  source=$(fetch brotli 1.0.9-2+deb12u1 1.0.9-2)
  cmake_part brotli "$source" -DBUILD_SHARED_LIBS=ON \
    -DBROTLI_DISABLE_TESTS=ON
}

build_highway() {
  local source
  source=$(fetch highway)
  cmake_part highway "$source" -DBUILD_SHARED_LIBS=OFF -DHWY_ENABLE_TESTS=OFF \
    -DHWY_ENABLE_EXAMPLES=OFF -DHWY_ENABLE_CONTRIB=OFF -DBUILD_TESTING=OFF
}

build_libjxl() {
  local source
  source=$(fetch jpeg-xl)
  cmake_part libjxl "$source" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF \
    -DJPEGXL_ENABLE_TOOLS=OFF -DJPEGXL_ENABLE_DOXYGEN=OFF -DJPEGXL_ENABLE_MANPAGES=OFF \
    -DJPEGXL_ENABLE_BENCHMARK=OFF -DJPEGXL_ENABLE_EXAMPLES=OFF -DJPEGXL_ENABLE_JNI=OFF \
    -DJPEGXL_ENABLE_SJPEG=OFF -DJPEGXL_ENABLE_OPENEXR=OFF -DJPEGXL_ENABLE_PLUGINS=OFF \
    -DJPEGXL_ENABLE_VIEWERS=OFF -DJPEGXL_ENABLE_SKCMS=OFF -DJPEGXL_BUNDLE_SKCMS=OFF \
    -DJPEGXL_FORCE_SYSTEM_LCMS2=ON -DJPEGXL_FORCE_SYSTEM_BROTLI=ON \
    -DJPEGXL_FORCE_SYSTEM_HWY=ON -DJPEGXL_ENABLE_TCMALLOC=OFF
}

build_giflib() {
  local source; source=$(fetch giflib)
  local cc="$KELMO_MINGW_TRIPLET-gcc-posix" objs=()
  mkdir -p "$work/build/giflib" "$libs/bin" "$libs/lib" "$libs/include"
  for f in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray; do
    "$cc" -O2 -Wall -c "$source/$f.c" -o "$work/build/giflib/$f.o"
    objs+=("$work/build/giflib/$f.o")
  done
  "$cc" -shared -o "$libs/bin/libgif-7.dll" "${objs[@]}" \
    -Wl,--out-implib,"$libs/lib/libgif.dll.a"
  cp "$source/gif_lib.h" "$libs/include/"
}

main() {
  local parts=("$@")
  [ ${#parts[@]} = 0 ] && parts=("${all_parts[@]}")
  if [ -f "$deps/.complete" ] && [ $# = 0 ]; then
    log "the dependency cache $deps is complete"
    return
  fi
  install_packages
  ensure_source_entries
  mkdir -p "$deps/.built" "$libs" "$work"
  cd "$work" # whatever a build writes beside itself stays out of the caller's folder
  printf '%s' "$KELMO_WINDOWS_RECIPE" >"$deps/recipe.txt"
  for part in "${parts[@]}"; do
    if [ -f "$deps/.built/$part" ]; then continue; fi
    log "building $part"
    local started=$SECONDS
    "build_$part"
    touch "$deps/.built/$part"
    log "built $part in $((SECONDS - started)) s"
  done
  for part in "${all_parts[@]}"; do [ -f "$deps/.built/$part" ] || return 0; done
  touch "$deps/.complete"
  rm -rf "$work"
  log "the dependency cache $deps is complete"
}

main "$@"
