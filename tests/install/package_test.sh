#!/usr/bin/env bash
# Builds the Debian package from the install rules (CPack) and checks it with
# lintian: no errors allowed; warnings are printed. Run after the build:
#   tests/install/package_test.sh <build folder> [folder to keep the package in]
set -euo pipefail
build=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$tmp"/*.deb)
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/bin/vantoli ./usr/share/applications/vantoli.desktop ./usr/share/doc/vantoli/copyright; do
  grep -qx "$f" <<<"$contents" || fail "$f is not in the package"
done
if [ -x "$build/src/Peer/PeerTerminal" ]; then
  grep -qx ./usr/lib/vantoli/Peer/PeerTerminal <<<"$contents" || fail "PeerTerminal is not in the package"
fi

command -v lintian >/dev/null || fail "lintian is not installed (scripts/deps.sh)"
# lintian exits non-zero on errors only with --fail-on error (its default).
lintian --fail-on error --allow-root --tag-display-limit 0 "$deb" | tee "$tmp/lintian.log" || {
  echo "lintian reports errors" >&2
  exit 1
}
echo "lintian warnings: $(grep -c '^W:' "$tmp/lintian.log" || true)"
if [ $# -ge 2 ]; then cp "$deb" "$2/"; fi
echo "package: ok ($(basename "$deb"))"
