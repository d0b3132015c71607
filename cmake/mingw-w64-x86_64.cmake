# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix thread model: Qt and std::thread
# need it). The libraries for Windows come from one prefix, built by scripts/windows-deps:
# -DQUADRELLE_WIN_PREFIX=..., else the environment's QUADRELLE_WIN_PREFIX, else the cache's
# current one (QUADRELLE_CACHE, default ~/.cache/quadrelle, then mingw64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)

if(NOT QUADRELLE_WIN_PREFIX)
  if(DEFINED ENV{QUADRELLE_WIN_PREFIX})
    set(QUADRELLE_WIN_PREFIX "$ENV{QUADRELLE_WIN_PREFIX}")
  elseif(DEFINED ENV{QUADRELLE_CACHE})
    set(QUADRELLE_WIN_PREFIX "$ENV{QUADRELLE_CACHE}/mingw64")
  else()
    set(QUADRELLE_WIN_PREFIX "$ENV{HOME}/.cache/quadrelle/mingw64")
  endif()
endif()
# try_compile projects read this file again, without the cache.
set(ENV{QUADRELLE_WIN_PREFIX} "${QUADRELLE_WIN_PREFIX}")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUADRELLE_WIN_PREFIX)

# Libraries, headers and packages only from the mingw sysroot and the prefix; programs (moc, rcc,
# uic, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${_triplet} "${QUADRELLE_WIN_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${QUADRELLE_WIN_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the Windows .pc files only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${QUADRELLE_WIN_PREFIX}/lib/pkgconfig:/usr/${_triplet}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Qt for Windows runs Debian's own moc, rcc and uic of the same version.
set(QT_HOST_PATH /usr CACHE PATH "Qt host tools")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Qt host tools' CMake files")
