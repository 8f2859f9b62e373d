# Sourced by the by-hand scripts that drive kivo's windows: starts an Xvfb display of their own and
# returns once it takes connections, so nothing after it has to guess how long a start takes.
#   start_xvfb WORK_FOLDER   sets DISPLAY and xvfb_pid; stop it with: kill "$xvfb_pid"

start_xvfb() {
  local ready="$1/xvfb-ready" number=
  rm -f "$ready"
  mkfifo "$ready"
  # Xvfb picks a free display and writes its number to fd 3 once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1280x800x24 3>"$ready" >/dev/null 2>&1 &
  xvfb_pid=$!
  # The whole line is read: a reader gone before the line ends is a fatal error to Xvfb. A server
  # that dies before it is ready closes the pipe, and the read ends empty.
  read -r number <"$ready" || true
  rm -f "$ready"
  if [ -z "$number" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}
