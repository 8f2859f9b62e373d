#!/usr/bin/env bash
# Builds the Debian package (build-package/kivo_<version>_<arch>.deb, or in
# $KIVO_PACKAGE_BUILD_DIR) and checks it: lintian, the desktop entries, the AppStream metadata, the
# manual page, the web link's target in the installed program and the translations.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run dpkg-dev file lintian desktop-file-utils appstream mandoc
# A tree of its own, configured for /usr: addresses worked out from the prefix (the guide the web
# link opens) are those of the installed package, whatever other trees were configured with.
build_dir=${KIVO_PACKAGE_BUILD_DIR:-build-package}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
  -DCMAKE_INSTALL_PREFIX=/usr -DKIVO_HARDENING=ON -DKIVO_BUILD_TESTS=OFF -DKIVO_BUILD_BENCH=OFF \
  -DKIVO_WERROR="${KIVO_WERROR:-OFF}" >/dev/null
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
. scripts/lib/guide-address.sh
failed=0
check() {
  echo "== $*"
  "$@" || failed=1
}
check desktop-file-validate "$tree"/usr/share/applications/*.desktop "$tree"/etc/xdg/autostart/kivo.desktop
check appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
check mandoc -T lint -W warning "$tree"/usr/share/man/man1/kivo.1.gz
check lintian --fail-on error --display-info "$deb"
check check_guide_address "$tree"
check_translations() { # every shipped translation, as it is in the sources
  local file ok=0
  for file in data/translations/*.ini; do
    cmp -s "$file" "$1/usr/share/kivo/translations/${file##*/}" || { echo "not in the package: $file"; ok=1; }
  done
  return $ok
}
check check_translations "$tree"
[ $failed -eq 0 ] && echo "Package checks passed" || { echo "Package checks FAILED"; exit 1; }
