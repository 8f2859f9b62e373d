#!/usr/bin/env bash
# Kills kivo with SIGKILL at random moments while it saves a records file of 100,000 records, round
# after round, and checks each time that "kivos.ini" is the complete old or the complete new file
# and that the next start leaves no temporary file of the killed save behind. Run by hand:
#   scripts/kill-during-save.sh [rounds, default 200]
# It drives the setup window under its own Xvfb display with xdotool (a click on the first row,
# Delete, Escape: one record deleted, then the window closed, which saves). Needs xvfb and xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-200}
kivo=$(realpath "${KIVO_BUILD_DIR:-build}/app/kivo")
scripts/install-deps.sh python3 xvfb xdotool
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
. scripts/lib/xvfb.sh
start_xvfb "$work"

python3 - "$work/old.ini" <<'PY'
import random, sys
random.seed(13)
names = ["Anna", "Bert", "Cleo", "Dora", "Emil", "Fritz", "Gina", "Hugo", "Ida", "Jonas"]
lines = ["# NAME, BIRTHDATE, ICON, SKIPYEAR, DAYSINADVANCE, NOTABIRTHDAY, INFOONLY, EMAIL, "
         "DONTPRINT, LEAPLING"]
for i in range(100000):
    lines.append("%s %06d,%02d%02d%04d,%d,-1,%d,%d,0,,0,1," % (
        random.choice(names), i, random.randint(1, 28), random.randint(1, 12),
        random.randint(1920, 2020), random.randint(0, 31), random.randint(0, 30),
        random.randint(0, 3)))
open(sys.argv[1], "w", newline="").write("\r\n".join(lines) + "\r\n")
PY

# One start of kivo on a fresh copy of the old file: the first record deleted, the window closed.
# With a delay, kivo is killed that long after the close; prints the seconds from close to exit.
round_once() {
  local delay=$1 run="$work/run"
  rm -rf "$run"
  mkdir -p "$run/home"
  cp "$work/old.ini" "$run/kivos.ini"
  (cd "$run" && HOME="$run/home" XDG_CONFIG_HOME="$run/home/config" XDG_DATA_HOME="$run/home/data" \
    exec "$kivo" setup >/dev/null 2>&1) &
  local pid=$! win
  win=$(xdotool search --sync --onlyvisible --name '^Velmik Fennaro Setup$' | head -1)
  # A click on the first row selects it and gives the window the keyboard.
  xdotool mousemove --window "$win" 60 37 click 1
  xdotool key Delete
  local start
  start=$(date +%s.%N)
  xdotool key Escape
  if [ -n "$delay" ]; then
    sleep "$delay"
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
  echo "$(date +%s.%N) - $start" | bc
}

# The next start after a killed save, as at log-on: nothing of the killed save may stay behind.
next_start() {
  local run="$work/run"
  (cd "$run" && HOME="$run/home" XDG_CONFIG_HOME="$run/home/config" XDG_DATA_HOME="$run/home/data" \
    timeout 60 "$kivo" >/dev/null 2>&1 </dev/null) &
  local pid=$!
  # A reminder window may open; it is closed at once.
  if win=$(timeout 15 xdotool search --sync --onlyvisible --name '^Velmik Fennaro' 2>/dev/null | head -1) &&
    [ -n "$win" ]; then
    xdotool mousemove --window "$win" 20 20 click 1 key Escape 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

echo "Calibrating: one save without a kill"
took=$(round_once "")
cp "$work/run/kivos.ini" "$work/new.ini"
if cmp -s "$work/old.ini" "$work/new.ini"; then
  echo "the calibration round saved nothing; is the display working?" >&2
  exit 1
fi
echo "close to exit: ${took}s"

old=0 new=0 broken=0 left=0 stale=0
for ((i = 1; i <= rounds; i++)); do
  delay=$(python3 -c "import random; print(round(random.uniform(0, $took * 1.2), 4))")
  round_once "$delay" >/dev/null
  file="$work/run/kivos.ini"
  if cmp -s "$file" "$work/old.ini"; then
    old=$((old + 1))
  elif cmp -s "$file" "$work/new.ini"; then
    new=$((new + 1))
  else
    broken=$((broken + 1))
    echo "round $i (kill after ${delay}s): kivos.ini is neither the old nor the new file" >&2
  fi
  others=$(find "$work/run" -maxdepth 1 -type f ! -name kivos.ini | wc -l)
  if [ "$others" -gt 0 ]; then
    left=$((left + 1))
    next_start
    if [ "$(find "$work/run" -maxdepth 1 -type f ! -name kivos.ini ! -name '*.bak' | wc -l)" -gt 0 ]; then
      stale=$((stale + 1))
      echo "round $i: the next start left $(find "$work/run" -maxdepth 1 -type f ! -name kivos.ini -printf '%f ')" >&2
    fi
  fi
done
echo "$rounds kills: old file $old, new file $new, neither $broken;" \
  "temporary files after the kill $left, still there after the next start $stale"
[ "$broken" -eq 0 ] && [ "$stale" -eq 0 ]
