#!/usr/bin/env bash
# Installs what the build needs on a Debian 12 machine and builds the
# third-party pieces for the target (the collector, 16-bit PCRE2 and
# GoogleTest) once into a cache outside the work tree.  Every step checks
# first, so a second run that finds everything in place costs well under a
# second.
set -euo pipefail

CACHE=${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}
TRIPLE=x86_64-w64-mingw32
CC=$TRIPLE-gcc-posix
CXX=$TRIPLE-g++-posix
here=$(cd "$(dirname "$0")" && pwd)

log() { printf '[bootstrap] %s\n' "$*"; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-x86-64-dev wine wine64 xvfb xauth cmake ninja-build googletest
          dpkg-dev make autoconf automake libtool python3-pil
          cups printer-driver-cups-pdf poppler-utils xclip libwmf-bin tidy)
packages+=(unixodbc libsqliteodbc)  # the ODBC binding's tests: unixODBC and the SQLite driver
packages+=(fp-utils)  # the help file: chmcmd compiles it, chmls lists it in the tests
packages+=(icoutils llvm lld)  # the resource library's tests: icotool, wrestool, llvm-rc, llvm-cvtres, llvm-readobj, lld-link

# Benchmarks compare with these; `bootstrap.sh bench` installs them too.
bench_packages=(libz-mingw-w64-dev ncompress swi-prolog-nox python3-pulp coinor-cbc)
[ "${1:-}" = bench ] && packages+=("${bench_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
apt_updated=0
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  as_root apt-get update -qq
  apt_updated=1
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$CACHE"

# Fetches a Debian source package into an empty folder; enables deb-src and
# refreshes the lists first where needed.  Extra arguments are fallback
# versions, tried in order when the newest files are not on the mirror.
fetch_source() {
  local dir=$1 pkg=$2; shift 2
  if ! grep -rqs '^deb-src\|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    log "enabling deb-src"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && as_root sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    done
    if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
      as_root sed -i -e 'p' -e 's/^deb /deb-src /' /etc/apt/sources.list
    fi
    apt_updated=0
  fi
  [ $apt_updated = 1 ] || { as_root apt-get update -qq; apt_updated=1; }
  local v
  for v in "" "$@"; do
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && apt-get source -qq "$pkg${v:+=$v}" >/dev/null 2>&1) && return 0
  done
  (cd "$dir" && apt-get source "$pkg")  # shows apt's own error
}

# The collector, from Debian's own source package.
GC_PREFIX=$CACHE/bdwgc
if [ ! -f "$GC_PREFIX/bin/libgc-1.dll" ]; then
  src=$CACHE/src/libgc
  if ! ls -d "$src"/libgc-*/ >/dev/null 2>&1; then
    fetch_source "$src" libgc
  fi
  srcdir=$(ls -d "$src"/libgc-*/ | head -n 1)
  log "building the collector from $srcdir"
  bdir=$CACHE/build/libgc && rm -rf "$bdir" && mkdir -p "$bdir"
  (cd "$bdir" && "$srcdir/configure" -q --host=$TRIPLE --enable-threads=win32 --enable-shared \
       --disable-static --with-libatomic-ops=none --disable-docs --prefix="$GC_PREFIX" \
       CC=$CC CXX=$CXX LDFLAGS="-static-libgcc" >/dev/null &&
   make -s -j"$(nproc)" >/dev/null 2>&1 && make -s install >/dev/null)
fi

# 16-bit PCRE2 (static, with JIT), from Debian's own source package.  The
# security mirror may lack the files of the newest revision: fall back to the
# release version.
PCRE_PREFIX=$CACHE/pcre2
if [ ! -f "$PCRE_PREFIX/lib/libpcre2-16.a" ]; then
  src=$CACHE/src/pcre2
  if ! ls -d "$src"/pcre2-*/ >/dev/null 2>&1; then
    fetch_source "$src" pcre2 10.42-1
  fi
  srcdir=$(ls -d "$src"/pcre2-*/ | head -n 1)
  log "building PCRE2 (16-bit) from $srcdir"
  bdir=$CACHE/build/pcre2 && rm -rf "$bdir" && mkdir -p "$bdir"
  (cd "$bdir" && "$srcdir/configure" -q --host=$TRIPLE --disable-pcre2-8 --enable-pcre2-16 \
       --enable-jit --disable-shared --enable-static --prefix="$PCRE_PREFIX" CC=$CC >/dev/null &&
   make -s -j"$(nproc)" >/dev/null 2>&1 && make -s install >/dev/null)
fi

# GoogleTest, from the source Debian installs in /usr/src/googletest.
GT_PREFIX=$CACHE/googletest
if [ ! -f "$GT_PREFIX/lib/libgtest.a" ]; then
  log "building GoogleTest for the target"
  bdir=$CACHE/build/googletest && rm -rf "$bdir"
  cmake -S /usr/src/googletest -B "$bdir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$GT_PREFIX" \
        -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$bdir" >/dev/null
  cmake --install "$bdir" >/dev/null
fi

# The SQLite amalgamation for the chain database's benchmark, made on the
# host from Debian's sqlite3 source (deb-src is enabled above).
if [ ! -f "$CACHE/build/sqlite3/sqlite3.c" ]; then
  src=$CACHE/src/sqlite3
  if ! ls -d "$src"/sqlite3-*/ >/dev/null 2>&1; then
    command -v tclsh >/dev/null || as_root apt-get install -y -qq tcl >/dev/null
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -qq sqlite3 >/dev/null 2>&1 || (cd "$src" && apt-get source sqlite3))
  fi
  srcdir=$(ls -d "$src"/sqlite3-*/ | head -n 1)
  log "making the SQLite amalgamation from $srcdir"
  bdir=$CACHE/build/sqlite3 && rm -rf "$bdir" && mkdir -p "$bdir"
  (cd "$bdir" && "$srcdir/configure" --disable-tcl >/dev/null 2>&1 && make -s sqlite3.c >/dev/null 2>&1) ||
    log "SQLite amalgamation failed: bench_chaindb is not built"
fi

# LMDB for the same benchmark: Debian's lmdb source, mdb.c and midl.c as they
# are, compiled for the target into a static library.  Built in a private
# folder and moved into place, so a second bootstrap running at the same time
# never sees half a library.
LMDB_PREFIX=$CACHE/lmdb
if [ ! -f "$LMDB_PREFIX/lib/liblmdb.a" ]; then
  src=$CACHE/src/lmdb
  if ! ls -d "$src"/lmdb-*/libraries/liblmdb/ >/dev/null 2>&1; then
    fetch_source "$src" lmdb
  fi
  srcdir=$(ls -d "$src"/lmdb-*/libraries/liblmdb/ | head -n 1)
  log "building LMDB from $srcdir"
  tmp=$(mktemp -d "$CACHE/lmdb.XXXXXX")
  mkdir -p "$tmp/lib" "$tmp/include"
  if (cd "$tmp" && $CC -O2 -w -c "$srcdir/mdb.c" -o mdb.o && $CC -O2 -w -c "$srcdir/midl.c" -o midl.o &&
      $TRIPLE-ar rcs lib/liblmdb.a mdb.o midl.o && cp "$srcdir/lmdb.h" include/); then
    rm -f "$tmp"/*.o
    mv -T "$tmp" "$LMDB_PREFIX" 2>/dev/null || rm -rf "$tmp"
  else
    rm -rf "$tmp"
    log "LMDB failed: bench_chaindb is not built"
  fi
fi

# Scintilla, the editor benchmarks' peer, only for `bootstrap.sh bench`:
# Debian's scite source, its win32 makefile, the DLL alone (system imports
# only).  Built in a private copy and moved into place.
SCI_PREFIX=$CACHE/scintilla
if [ "${1:-}" = bench ] && [ ! -f "$SCI_PREFIX/bin/Scintilla.dll" ]; then
  src=$CACHE/src/scite
  if ! ls -d "$src"/scite-*/scintilla/win32/ >/dev/null 2>&1; then
    fetch_source "$src" scite || true
  fi
  srcdir=$(ls -d "$src"/scite-*/scintilla/ 2>/dev/null | head -n 1 || true)
  tmp=$(mktemp -d "$CACHE/scintilla.XXXXXX")
  if [ -n "$srcdir" ] && log "building Scintilla from $srcdir" && cp -r "$srcdir" "$tmp/src" &&
     (cd "$tmp/src/win32" && make -s -j"$(nproc)" CXX=$CXX AR=$TRIPLE-ar RANLIB=$TRIPLE-ranlib \
        WINDRES=$TRIPLE-windres ../bin/Scintilla.dll >/dev/null 2>&1); then
    mkdir -p "$tmp/bin" && mv "$tmp/src/bin/Scintilla.dll" "$tmp/bin/" && rm -rf "$tmp/src"
    mv -T "$tmp" "$SCI_PREFIX" 2>/dev/null || rm -rf "$tmp"
  else
    rm -rf "$tmp"
    log "Scintilla failed: the editor benchmarks run without their peer"
  fi
fi

# The Wine prefix, created once.
export WINEPREFIX=$CACHE/wineprefix WINEDEBUG=-all WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  log "creating the Wine prefix"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
