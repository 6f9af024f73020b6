#!/usr/bin/env bash
# scripts/run started from folders of the user's own: a kill of it (also -9, also while the
# program starts or builds), Ctrl+C or a kill of the program ends the program through its
# shut-down, its layout and recording in that folder and nothing in the build root.
# Every wait is bounded: a hang is a FAILED line naming its case.
# Usage: tests/scripts/test_run.sh [debug|release]
set -uo pipefail
# Background jobs get process groups of their own, and Ctrl+C reaches them as from a terminal.
set -m
TOP=$(cd "$(dirname "$0")/../.." && pwd)
ROOT=${DRAVIK_ROOT:-/var/cache/dravik-lite/root}
export DRAVIK_RUN_BUILD=${1:-debug}
# Under /var/lib, as a CI workspace: neither /tmp nor the checkout, nor a folder of the root.
work=$(mktemp -d "/var/lib/dravik run.XXXXXX")
link=$(mktemp -u /tmp/dravik-link.XXXXXX)
cd "$work" || exit 1
(cd /tmp && exec "$TOP/scripts/in-root" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null) &
xvfb=$!
trap 'kill $xvfb; rm -rf "$work" "$link"' EXIT
checks=0 failed=0
fail() { echo "FAILED: $case: $*" && cat "$work/err" 2>/dev/null && failed=$((failed + 1)); }
check() { # message, command...
  checks=$((checks + 1))
  local message=$1
  shift
  "$@" || { fail "$message"; return 1; }
}
# Waits up to the limit (seconds) for a command to succeed.
within() { # seconds, command...
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.01
  done
}
alive() { kill -0 "$1" 2>/dev/null; }
dead() { ! kill -0 "$1" 2>/dev/null; }
case=display
check "no display" within 60 test -s "$work/display"
export DISPLAY=:$(cat "$work/display")

case=set-up
touch "$work/before"
check "set-up from $work did not reach the root" \
  eval '"$TOP/scripts/setup" 2>&1 | grep -q "^  g++ "'
check "set-up rewrote files of the build root" test -z "$(find "$ROOT/etc" -newer "$work/before")"
case=refused
for folder in / /usr/lib; do
  check "$folder not refused" eval '! (cd "$folder" && "$TOP/scripts/run") >/dev/null 2>"$work/err" && grep -q "cannot work in $folder" "$work/err"'
done

# The program's root process (bwrap) and the program, once the program exists.
found_root() {
  root=
  local child
  for child in $(pgrep -P "$launcher"); do grep -qs DravikLite "/proc/$child/cmdline" && root=$child; done
  [ -n "$root" ]
}
find_program() { found_root && program=$(pgrep -x DravikLite -P "$root"); }
# A program working in this case's folder.
working_here() {
  local p
  for p in $(pgrep -x DravikLite); do [ "$(readlink "/proc/$p/cwd")" = "$here" ] && return 0; done
  return 1
}
drew() { find_program && grep -q "^Successfully created framebuffer" "$work/out"; }
click() { (cd /tmp && "$TOP/scripts/in-root" xdotool mousemove "$1" "$2" click 1) && sleep 0.5; }
# Ends what a failed case left.
clean_up() {
  alive "$launcher" && kill -9 -- "-$launcher" 2>/dev/null
  [ -n "$root" ] && alive "$root" && kill -9 "$root"
  [ -n "$program" ] && alive "$program" && kill -9 "$program"
}

for case in launcher program -9 start Ctrl+C "-9 at start" build; do
  here="$work/$case folder" && mkdir "$here" && cd "$here" || exit 1
  root= program=
  [ "$case" = Ctrl+C ] && ln -s "$here" "$link" && cd "$link"
  if [ "$case" = build ]; then
    # A rebuild is due: a second launcher waits for the first one's build, and the first,
    # killed with -9 while it builds, takes its build with it.
    # A header that a dozen of the program's files include: the rebuild lasts some seconds, well
    # past the kill below.
    touch "$TOP/src/serial/ChannelData.h"
    "$TOP/scripts/run" >"$work/out1" 2>&1 &
    first=$!
    check "the first launcher did not build" within 60 grep -qs "Building CXX" "$work/out1"
  fi
  "$TOP/scripts/run" >"$work/out" 2>"$work/err" &
  launcher=$!
  if [ "$case" = build ]; then
    check "the second launcher did not wait for the first one's build" within 60 grep -q "waiting for another build" "$work/err"
    build=$(pgrep -P $first)
    check "the first launcher's build is not its child" test -n "$build"
    # -9: none of the launcher's traps runs.
    kill -9 $first
    check "the first launcher did not end" within 60 dead $first || kill -9 $first
    check "the first launcher's build ran on" within 60 eval '! pgrep -s "$build" >/dev/null'
  fi
  case $case in
    start) check "the program did not start" within 300 find_program ;;
    "-9 at start") check "the program's root did not start" within 300 found_root ;;
    *) check "the program did not draw" within 300 drew ;;
  esac
  # The first launcher's build, killed in its link, left the link to the second.
  [ "$case" = build ] && check "the first launcher's build ran on to its end" grep -q "Linking CXX executable" "$work/out"
  case $case in
    program) kill "$program" ;;
    -9 | "-9 at start") kill -9 $launcher ;;
    start) kill -HUP $launcher ;;
    Ctrl+C)
      # A recording with the time-stamped name: Settings, a channel, Start. Clicks that come
      # before the window's first frames are lost: the sequence is tried again then.
      recorded() { ls "$here"/dravik_*.csv >/dev/null 2>&1; }
      for try in 1 2 3; do
        click 32 118 && click 217 425 && click 155 650
        within 10 recorded && break
      done
      check "no recording in the caller's folder" recorded
      kill -INT -- -$launcher
      ;;
    *) kill $launcher ;;
  esac
  check "scripts/run did not end" within 60 dead $launcher || kill -9 $launcher
  wait $launcher 2>/dev/null
  status=$?
  if [ "$case" = "-9 at start" ]; then
    check "the program outlived its launcher" within 60 eval 'dead "$root" && ! working_here'
  else
    check "the program did not end" within 60 dead "$program"
    check "no shut-down: $(tail -n 3 "$work/out")" grep -q "^OpenGL context terminated successfully" "$work/out"
    [ $case = -9 ] || check "scripts/run exited with $status" test $status = 0
    check "no layout in the caller's folder" test -s "$here/imgui.ini"
  fi
  [ "$case" = Ctrl+C ] && check "the recording was not closed" eval 'grep -q "^Timestamp" "$here"/dravik_*.csv'
  clean_up
  cd "$work" && rm -f "$link"
done

case="build root"
check "the run left folders in the build root" test ! -e "$ROOT$work" -a ! -e "$ROOT/var/lib/${work##*/}"
# The summary line scripts/test counts.
echo "$(((checks - failed) * 100 / checks))% tests passed, $failed tests failed out of $checks"
[ "$failed" -eq 0 ]
