# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers (the POSIX threads
# variant, which Qt and std::thread need). The dependency cache made by build-deps.sh is
# named by KELMO_WINDOWS_DEPS (a CMake variable or the environment variable of that name).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(KELMO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELMO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELMO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KELMO_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KELMO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KELMO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

if(NOT KELMO_WINDOWS_DEPS AND DEFINED ENV{KELMO_WINDOWS_DEPS})
  set(KELMO_WINDOWS_DEPS "$ENV{KELMO_WINDOWS_DEPS}")
endif()
# try_compile projects read the toolchain again and must see the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELMO_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${KELMO_MINGW_TRIPLET})
if(KELMO_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${KELMO_WINDOWS_DEPS}/qt" "${KELMO_WINDOWS_DEPS}/libs")
  # pkg-config sees the cache's libraries only, on every run of CMake, the build's own re-runs
  # included: the host's (xcb, say) are not Windows'.
  set(ENV{PKG_CONFIG_LIBDIR} "${KELMO_WINDOWS_DEPS}/libs/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KELMO_WINE wine)
if(KELMO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${KELMO_WINE}")
endif()
