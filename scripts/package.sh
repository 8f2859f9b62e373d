#!/usr/bin/env bash
# Builds the Debian package (build/kivo_<version>_<arch>.deb, or in $KIVO_BUILD_DIR) and checks
# it: lintian, the desktop entries, the AppStream metadata and the manual page.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dpkg-dev file lintian desktop-file-utils appstream mandoc
build_dir=${KIVO_BUILD_DIR:-build}
# The package installs under /usr; the same build tree serves the tests.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
  -DCMAKE_INSTALL_PREFIX=/usr -DKIVO_HARDENING=ON -DKIVO_WERROR="${KIVO_WERROR:-OFF}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
rm -f "$build_dir"/kivo_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/kivo_*.deb)
echo "Built $deb"
dpkg-deb --field "$deb" | sed "s/^/  /"

# Check what the package holds, unpacked beside the build.
tree="$build_dir/deb-tree"
rm -rf "$tree"
dpkg-deb -x "$deb" "$tree"
failed=0
check() {
  echo "== $*"
  "$@" || failed=1
}
check desktop-file-validate "$tree"/usr/share/applications/*.desktop "$tree"/etc/xdg/autostart/kivo.desktop
check appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
check mandoc -T lint -W warning "$tree"/usr/share/man/man1/kivo.1.gz
check lintian --fail-on error --display-info "$deb"
[ $failed -eq 0 ] && echo "Package checks passed" || { echo "Package checks FAILED"; exit 1; }
