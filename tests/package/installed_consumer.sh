#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs a small
# consumer against that installed tree only: once through find_package, once
# through pkg-config. Checks the library's soname and version, and that the
# consumer loads the installed library, not the build tree's.
#   installed_consumer.sh <build-dir> <consumer-source-dir> <c++ compiler>
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
CXX=$3
PROJECT=$(cd "$SRC/../../.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix
# Nothing from the caller's environment may point elsewhere.
unset LD_LIBRARY_PATH CMAKE_PREFIX_PATH PKG_CONFIG_PATH CPATH LIBRARY_PATH

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
LIB=$(find "$PREFIX" -name libalicloudwrapper.so -print -quit)
[ -n "$LIB" ] || fail "no libalicloudwrapper.so under the prefix"
LIBDIR=$(dirname "$LIB")
SONAME=$(readelf -d "$LIB" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$SONAME" = libalicloudwrapper.so.0 ] || fail "soname is '$SONAME'"
REAL=$(basename "$(readlink -f "$LIB")")
[[ "$REAL" =~ ^libalicloudwrapper\.so\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the library file is $REAL"
for f in bin/acw bin/acw-emulator include/AliCloudWrapper/AliCloudWrapper.h; do
  [ -e "$PREFIX/$f" ] || fail "$f is not installed"
done
echo "ok:   installed $SONAME ($REAL), acw, acw-emulator, headers"

# run <program>: runs it with only the prefix's library folder to load from,
# and checks the library it loads is the installed one.
run() {
  local loaded
  loaded=$(LD_LIBRARY_PATH="$LIBDIR" ldd "$1" | sed -n 's/.*libalicloudwrapper[^ ]* => \([^ ]*\).*/\1/p')
  [[ "$loaded" == "$PREFIX"/* ]] || fail "$1 loads '$loaded', not the installed library"
  LD_LIBRARY_PATH="$LIBDIR" "$1" || fail "$1 failed"
}
# no_build_tree <folder>: the consumer's build names neither the build tree nor the sources' headers.
no_build_tree() {
  if grep -rqsF -e "$BUILD/" -e "$PROJECT/include" "$1"; then fail "$1 refers to the build tree"; fi
}

cmake -S "$SRC" -B "$WORK/with-cmake" -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_CXX_COMPILER="$CXX" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$WORK/with-cmake" >/dev/null
no_build_tree "$WORK/with-cmake"
run "$WORK/with-cmake/consumer"
echo "ok:   find_package(AliCloudWrapper) consumer"

mkdir -p "$WORK/with-pkg-config"
FLAGS=$(PKG_CONFIG_PATH="$LIBDIR/pkgconfig" pkg-config --cflags --libs alicloudwrapper)
[[ "$FLAGS" == *"$PREFIX"* ]] || fail "pkg-config flags do not name the prefix: $FLAGS"
# shellcheck disable=SC2086
"$CXX" -std=c++17 "$SRC/main.cpp" $FLAGS -o "$WORK/with-pkg-config/consumer"
run "$WORK/with-pkg-config/consumer"
echo "ok:   pkg-config alicloudwrapper consumer"
