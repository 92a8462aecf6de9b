#!/usr/bin/env bash
# Makes the Debian package (cpack -G DEB) into a scratch folder, checks that
# it depends on the Debian packages of the libraries it links, unpacks it
# into a scratch root (dpkg -x) and runs acw --version from there, loading
# libraries from that root only.
#   deb_check.sh <build-dir>
set -euo pipefail
BUILD=$(cd "$1" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
unset LD_LIBRARY_PATH

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log"; fail "cpack"; }
DEB=$(find "$WORK/out" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$DEB" ] || fail "cpack made no .deb"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
echo "Depends: $DEPENDS"
for pkg in libc6 libstdc++6 libcurl4 libssl3 libboost-json1.81.0; do
  [[ ", $DEPENDS," == *", $pkg "* || ", $DEPENDS," == *", $pkg,"* ]] || fail "no dependency on $pkg"
done

dpkg -x "$DEB" "$WORK/root"
LIB=$(find "$WORK/root" -name libalicloudwrapper.so.0 -print -quit)
[ -n "$LIB" ] || fail "the package holds no libalicloudwrapper.so.0"
ACW=$WORK/root/usr/bin/acw
LOADED=$(LD_LIBRARY_PATH="$(dirname "$LIB")" ldd "$ACW" | sed -n 's/.*libalicloudwrapper[^ ]* => \([^ ]*\).*/\1/p')
[[ "$LOADED" == "$WORK/root"/* ]] || fail "acw loads '$LOADED', not the unpacked library"
VERSION=$(LD_LIBRARY_PATH="$(dirname "$LIB")" "$ACW" --version)
[ "$VERSION" = "acw $(dpkg-deb -f "$DEB" Version)" ] || fail "acw --version says '$VERSION'"
echo "ok:   $(basename "$DEB") unpacked; $VERSION"
