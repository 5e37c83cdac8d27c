#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds the consumer against it both ways (CMake
# package, pkg-config) and runs it. Usage: install_consumer.sh BUILD_DIR WORK_DIR
set -euo pipefail
build="$1"; work="$2"; here="$(cd "$(dirname "$0")" && pwd)"
rm -rf "$work"; mkdir -p "$work/run1" "$work/run2"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in include/unified_track/unified_track.h lib/libunified_track.so lib/pkgconfig/unified_track.pc \
         lib/cmake/unified_track/unified_trackConfig.cmake bin/ut-dump bin/ut-collector; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
soname=$(objdump -p "$prefix/lib/libunified_track.so" | awk '/SONAME/ {print $2}')
[ "$soname" = "libunified_track.so.1" ] || { echo "SONAME is '$soname'"; exit 1; }

# 1. CMake package.
cmake -S "$here/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer" "$work/run1"

# 2. pkg-config (the runtime path comes from the package's own libdir).
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
libdir=$(pkg-config --variable=libdir unified_track)
cc -o "$work/pc-consumer" "$here/consumer/consumer.c" $(pkg-config --cflags --libs unified_track) \
   -Wl,-rpath,"$libdir"
"$work/pc-consumer" "$work/run2"
echo "installed tree works from CMake and from pkg-config"
