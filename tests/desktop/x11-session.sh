# SPDX-License-Identifier: MIT
# What the X11 desktop tests share, sourced by each: a work folder as HOME, the processes to end
# at exit (after the command the test may name in $at_exit), the checks and their count,
# polling, and openbox started.
work=$(mktemp -d)
export HOME=$work/home
mkdir -p "$HOME/Documents"
unset QT_QPA_PLATFORM # the suite's offscreen platform: here the real X display
export QT_QPA_PLATFORM=xcb
pids=()
cleanup() {
  "${at_exit:-true}"
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() { # check NAME ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED $1: got '$2', expected '$3'"
  fi
}
# Polls a command until it succeeds, for at most $1 seconds.
wait_for() {
  local limit=$1
  shift
  local until=$((SECONDS + limit))
  until "$@" > /dev/null 2>&1; do
    [ $SECONDS -ge $until ] && return 1
    sleep 0.05
  done
}

openbox > /dev/null 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  { echo "openbox did not start"; exit 1; }
