#!/usr/bin/env bash
# Installs the kivo package into a fresh Debian 12 made with debootstrap, the way a user gets it,
# and checks that it runs and that every file is where the desktop looks for it; then removes and
# purges it. Run by hand, as root, with a Debian mirror reachable:
#   scripts/verify-package.sh [path/to/kivo_*.deb]
# KIVO_CHROOT (default /var/tmp/kivo-bookworm) is made anew on every run; KIVO_MIRROR picks the
# mirror. It prints what the README's two commands download and install there. With
# KIVO_VERIFY_BUILD=1 it then runs them in the chroot as a new user with sudo, timed, and fails on
# a warning in their output.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls "$project"/build-package/kivo_*.deb 2>/dev/null | head -n1)}
[ -f "$deb" ] || { echo "no package: build one with scripts/package.sh" >&2; exit 2; }
deb=$(realpath "$deb")
[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap and chroot need it" >&2; exit 2; }
root=${KIVO_CHROOT:-/var/tmp/kivo-bookworm}
mirror=${KIVO_MIRROR:-http://deb.debian.org/debian}
"$project/scripts/install-deps.sh" debootstrap desktop-file-utils appstream
. "$project/scripts/lib/guide-address.sh"

failures=0
pass() { echo "  ok: $*"; }
fail() { echo "  FAILED: $*"; failures=$((failures + 1)); }
expect() { # expect DESCRIPTION COMMAND...: passes when the command succeeds
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then pass "$what"; else fail "$what"; fi
}
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
as_user() { # runs a command as the test user in its home folder, with an offscreen display
  chroot --userspec=anna:anna "$root" env -i PATH=/usr/bin:/bin HOME=/home/anna USER=anna \
    XDG_RUNTIME_DIR=/tmp/anna-runtime QT_QPA_PLATFORM=offscreen sh -c "cd /home/anna && $*"
}

cleanup() {
  for m in dev/pts dev proc; do mountpoint -q "$root/$m" && umount -l "$root/$m" || true; done
}
trap cleanup EXIT

echo "== mirror $mirror"
if command -v curl >/dev/null 2>&1; then
  curl -fsS -o /dev/null --max-time 20 "$mirror/dists/bookworm/Release" \
    || { echo "the mirror does not answer; set KIVO_MIRROR" >&2; exit 2; }
  echo "  reachable"
fi

echo "== fresh Debian 12 (bookworm, minbase) in $root"
cleanup
rm -rf "$root"
start=$(date +%s)
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 \
  || { tail -n 20 "$root.debootstrap.log"; echo "debootstrap failed" >&2; exit 1; }
echo "  made in $(($(date +%s) - start)) s: $(cat "$root/etc/debian_version")"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root useradd -m -s /bin/sh anna
mkdir -p -m 700 "$root/tmp/anna-runtime" && in_root chown anna:anna /tmp/anna-runtime
# The host's name resolves, as on an installed system (sudo warns otherwise).
printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n' "$(hostname)" >"$root/etc/hosts"
in_root apt-get update -q >/dev/null

echo "== what the README's commands install here (apt's figures)"
for set in run test; do
  in_root apt-get install --no-install-recommends --assume-no \
    $("$project/scripts/install-deps.sh" --$set --list) 2>/dev/null |
    grep -E 'newly installed|^Need to get|^After this operation' | sed "s/^/  --$set: /" || true
done

echo "== apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
start=$(date +%s)
in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$deb")" >"$root.install.log" 2>&1 \
  || { tail -n 30 "$root.install.log"; fail "apt-get install"; }
grep -E '^(Setting up kivo|The following NEW packages)' "$root.install.log" | sed 's/^/  /'
echo "  installed in $(($(date +%s) - start)) s, $(grep -c '^Setting up' "$root.install.log") packages set up"

echo "== files where the desktop looks for them"
expect "kivo on the PATH: $(in_root sh -c 'command -v kivo')" in_root sh -c 'command -v kivo'
if in_root ldd /usr/bin/kivo | grep -q 'not found'; then fail "libraries missing (ldd)"; else pass "no library missing (ldd)"; fi
app=$root/usr/share/applications/example.velmik.kivo.desktop
auto=$root/etc/xdg/autostart/kivo.desktop
expect "menu entry $app valid" desktop-file-validate "$app"
expect "autostart entry $auto valid" desktop-file-validate "$auto"
expect "menu entry runs kivo with an argument" grep -qx 'Exec=kivo --setup' "$app"
expect "autostart entry runs kivo with none" grep -qx 'Exec=kivo' "$auto"
expect "menu and autostart entries need kivo (TryExec)" grep -qx 'TryExec=kivo' "$app" "$auto"
if check_guide_address "$root"; then pass "the web link opens the installed guide"; else fail "the web link's address"; fi
for size in 16 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/kivo.png
  expect "icon ${size}x${size} ($(identify -format '%wx%h' "$icon" 2>/dev/null || file -b "$icon" | cut -d, -f2))" \
    test -s "$icon"
done
meta=$root/usr/share/metainfo/example.velmik.kivo.metainfo.xml
expect "AppStream metadata valid" appstreamcli validate --no-net "$meta"
expect "AppStream launchable is the menu entry" grep -q '>example.velmik.kivo.desktop<' "$meta"
expect "manual page" test -s "$root/usr/share/man/man1/kivo.1.gz"
expect "user guide and its picture" test -s "$root/usr/share/doc/kivo/guide.html" -a -s "$root/usr/share/doc/kivo/reminder-window.png"
expect "copyright and changelog" test -s "$root/usr/share/doc/kivo/copyright" -a -s "$root/usr/share/doc/kivo/changelog.gz"
for file in "$project"/data/translations/*.ini; do
  expect "translation ${file##*/}" cmp -s "$file" "$root/usr/share/kivo/translations/${file##*/}"
done
units=$root/usr/lib/systemd/user
expect "systemd user units" test -s "$units/kivo-daily.timer" -a -s "$units/kivo-daily.service"
expect "service runs the timer's run of /usr/bin/kivo" grep -qx 'ExecStart=/usr/bin/kivo --timer' "$units/kivo-daily.service"
link=$root/etc/systemd/user/graphical-session.target.wants/kivo-daily.timer
expect "timer enabled for all users ($(readlink "$link" 2>/dev/null))" test -L "$link"

echo "== kivo runs from the package (offscreen, as a user)"
today_key=$(date +%Y%m%d)
# A record that is not near: the daily run shows nothing and ends by itself.
far=$(date -d '+40 days' +%d%m)1990
as_user "mkdir -p '.local/share/Velmik Fennaro' && printf '# NAME, BIRTHDATE\\r\\nBen,$far,4,-1,14,0,0,,0,0,\\r\\n' > '.local/share/Velmik Fennaro/kivos.ini'"
if as_user "timeout 60 kivo"; then pass "daily run with nothing due ended by itself"; else fail "daily run (exit $?)"; fi
expect "settings written with today's day ($today_key)" grep -q "lastrun=$today_key" "$root/home/anna/.config/Velmik/kivo.conf"
# A record that is near: the reminder window opens and waits for the user.
near=$(date -d '+3 days' +%d%m)1996
as_user "printf '# NAME, BIRTHDATE\\r\\nAnna,$near,4,-1,14,0,0,,0,0,\\r\\n' > kivos.ini"
status=0; as_user "timeout 10 kivo" || status=$?
if [ $status -eq 124 ]; then pass "with a record due the reminder window stayed open"; else fail "reminder run (exit $status)"; fi
status=0; as_user "env -u QT_QPA_PLATFORM kivo" 2>"$root/tmp/nodisplay.txt" || status=$?
if [ $status -eq 1 ] && grep -q 'no display.*: sudo apt-get install xvfb' "$root/tmp/nodisplay.txt"; then
  pass "without a display: $(cat "$root/tmp/nodisplay.txt")"
else fail "no-display message (exit $status)"; fi

echo "== remove and purge"
echo "$(date +%s)" >"$root/home/anna/.config/Velmik/mine"
in_root apt-get remove -y -q kivo >/dev/null 2>&1 || fail "apt-get remove"
expect "removed: no kivo binary" test ! -e "$root/usr/bin/kivo"
expect "removed: the log-on entry, kept until a purge, names the missing kivo as TryExec" \
  grep -qx 'TryExec=kivo' "$auto"
expect "removed: timer switched off (masked: $(readlink "$root/etc/systemd/user/kivo-daily.timer" 2>/dev/null))" \
  test "$(readlink "$root/etc/systemd/user/kivo-daily.timer" 2>/dev/null)" = /dev/null
in_root apt-get purge -y -q kivo >/dev/null 2>&1 || fail "apt-get purge"
left=$(cd "$root" && find etc usr var/lib -name '*kivo*' 2>/dev/null || true)
if [ -z "$left" ]; then pass "purged: nothing named kivo left in /etc, /usr, /var/lib"; else fail "left after purge: $left"; fi
expect "purged: the user's records and settings are still there" \
  test -s "$root/home/anna/kivos.ini" -a -s "$root/home/anna/.config/Velmik/kivo.conf"

if [ "${KIVO_VERIFY_BUILD:-0}" = 1 ]; then
  echo "== the README's set-up as a new user: without sudo, then with it"
  in_root apt-get autoremove -y -q --purge >/dev/null 2>&1 || fail "apt-get autoremove"
  mkdir -p "$root/home/anna/kivo"
  git -C "$project" archive HEAD | tar -x -C "$root/home/anna/kivo"
  in_root chown -R anna:anna /home/anna/kivo
  status=0; as_user "cd kivo && scripts/run.sh" >"$root/tmp/nosudo.txt" 2>&1 || status=$?
  sed 's/^/  | /' "$root/tmp/nosudo.txt"
  if [ $status -ne 0 ] && grep -q 'sudo is not installed' "$root/tmp/nosudo.txt"; then
    pass "without sudo the script says what to do"
  else fail "no-sudo message"; fi

  # The first user of a standard installation: in the sudo group, with the standard system's
  # apt-utils. The password prompt is left out, as nobody is there to answer it.
  in_root apt-get install -y -q sudo apt-utils >/dev/null 2>&1 || fail "installing sudo"
  in_root usermod -aG sudo anna
  echo 'anna ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/anna" && chmod 440 "$root/etc/sudoers.d/anna"
  # A line worth reading: apt's, debconf's and dpkg's warnings and errors, CMake's and the compiler's.
  warnings='^(W: |E: |debconf: |dpkg: (warning|error)|CMake (Warning|Error)|sudo: )|: (warning|error): '
  for command in run test; do
    log=$root.$command.log
    start=$(date +%s)
    status=0; as_user "cd kivo && scripts/$command.sh" >"$log" 2>&1 || status=$?
    seconds=$(($(date +%s) - start))
    grep -E '^(Need to get|After this operation)' "$log" | sed "s/^/  $command.sh: /"
    [ "$command" = test ] && grep -E 'tests passed|tests failed' "$log" | sed 's/^/  /'
    if [ $status -eq 0 ]; then pass "scripts/$command.sh as anna in $seconds s"
    else tail -n 30 "$log"; fail "scripts/$command.sh (exit $status, log $log)"; fi
    if grep -Eq "$warnings" "$log"; then
      grep -E "$warnings" "$log" | sort | uniq -c | sort -rn | head -n 20 | sed 's/^/  | /'
      fail "warnings in the output of scripts/$command.sh"
    else pass "no warning in the output of scripts/$command.sh"; fi
  done
  start=$(date +%s)
  if as_user "cd kivo && cmake -S . -B plain -DKIVO_BUILD_TESTS=OFF -DKIVO_BUILD_BENCH=OFF >/dev/null && cmake --build plain -j2 >/dev/null"; then
    pass "plain cmake build (Unix Makefiles) of kivo in $(($(date +%s) - start)) s"
  else fail "plain cmake build"; fi
fi

echo
if [ $failures -eq 0 ]; then echo "All package checks passed in a fresh Debian $(cat "$root/etc/debian_version")"
else echo "$failures package checks FAILED"; exit 1; fi
