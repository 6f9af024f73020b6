#!/usr/bin/env bash
# scripts/run started from a folder of the user's own: a kill of it (also -9, also while the
# program starts) or of the program ends the program through its shut-down, the layout saved in
# that folder. Usage: tests/scripts/test_run.sh [debug|release]
set -uo pipefail
TOP=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "/var/tmp/dravik run.XXXXXX")
"$TOP/scripts/in-root" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
# bwrap leaves the folders' empty mount points in the build root.
trap 'kill $xvfb; rm -rf "$work"; find "${DRAVIK_ROOT:-/var/cache/dravik-lite/root}$work" -depth -type d -empty -delete' EXIT
for _ in $(seq 600); do [ -s "$work/display" ] && break || sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
failed=0
fail() { echo "FAILED: $case: $*" && cat "$work/err" && failed=$((failed + 1)); }
for case in launcher program -9 start; do
  here="$work/$case folder" && mkdir "$here" && cd "$here" || exit 1
  DRAVIK_RUN_BUILD=${1:-debug} "$TOP/scripts/run" >"$work/out" 2>"$work/err" &
  launcher=$!
  # The program is the child of the build root's bwrap. Killed while it starts, or once it drew.
  for _ in $(seq 30000); do
    program=$(pgrep -x DravikLite -P "$(pgrep -d, -x bwrap -P $launcher)" 2>/dev/null)
    [ -n "$program" ] && { [ $case = start ] || grep -q "^Successfully created framebuffer" "$work/out"; } && break
    sleep 0.01
  done
  case $case in
    program) kill "$program" ;;
    -9) kill -9 $launcher ;;
    start) kill -HUP $launcher ;;
    *) kill $launcher ;;
  esac
  wait $launcher 2>/dev/null; status=$?
  for _ in $(seq 600); do kill -0 "$program" 2>/dev/null && sleep 0.1 || break; done
  grep -q "^OpenGL context terminated successfully" "$work/out" || fail "no shut-down: $(tail -n 3 "$work/out")"
  [ $case = -9 ] || [ $status = 0 ] || fail "scripts/run exited with $status"
  [ -s "$here/imgui.ini" ] || fail "no layout in the caller's folder"
done
# The summary line scripts/test counts: three checks a case.
echo "$(((12 - failed) * 100 / 12))% tests passed, $failed tests failed out of 12"
[ "$failed" -eq 0 ]
