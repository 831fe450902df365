# Settings shared by build-deps.sh and build.sh (sourced, not run).

# Every version and option that changes what build-deps.sh produces. The cache folder is
# named after a hash of this text, so a change here makes a new cache.
KELMO_WINDOWS_RECIPE="
toolchain: gcc-mingw-w64-x86-64-posix 12 (Debian 12)
qt6-base 6.4.2+dfsg: shared release; Core Gui Widgets PrintSupport Test; no opengl dbus icu zstd direct2d directwrite sql network xml concurrent tabletevent vulkan
zlib: mingw-w64 package
libjpeg-turbo 2.1.5: shared, simd
libdeflate 1.14: shared
libwebp 1.2.4: shared, demux
lcms2 2.14: shared
dav1d 1.0.0: shared
libde265 1.0.11: shared
libheif 1.15.1: libde265, dav1d (AVIF read by libheif: libavif's source is not downloadable)
brotli 1.0.9: shared
highway 1.0.3: static
libjxl 0.7.0: shared, system lcms2
giflib 5.2.1: shared
"

kelmo_windows_key() {
  printf '%s' "$KELMO_WINDOWS_RECIPE" | sha256sum | cut -c1-12
}

: "${KELMO_WINDOWS_DEPS:=$HOME/.cache/kelmo/windows-$(kelmo_windows_key)}"
export KELMO_WINDOWS_DEPS

KELMO_MINGW_TRIPLET=x86_64-w64-mingw32
KELMO_MINGW_RUNTIME_DIRS="/usr/$KELMO_MINGW_TRIPLET/lib /usr/lib/gcc/$KELMO_MINGW_TRIPLET/12-posix"
