#!/usr/bin/env bash
# scripts/run as a user starts it, from a folder of their own outside the checkout (a space in
# its name), on the host: each way of ending it must end the program through its shut-down, with
# the layout saved in that folder. Usage: tests/scripts/test_run.sh [debug|release]
set -uo pipefail
TOP=$(cd "$(dirname "$0")/../.." && pwd)
kind=${1:-debug}
work=$(mktemp -d "/var/tmp/dravik run.XXXXXX")
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
  # bwrap made the folders' mount points in the build root; they are empty.
  local root=${DRAVIK_ROOT:-/var/cache/dravik-lite/root}
  [ -d "$root$work" ] && find "$root$work" -depth -type d -empty -delete
}
trap cleanup EXIT

# A display of our own, its number from Xvfb itself.
"$TOP/scripts/in-root" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

passed=0 failed=0
check() { # condition text, command...
  local what=$1
  shift
  if "$@"; then return 0; fi
  echo "FAILED: $case: $what"
  ok=0
}

# The program: the child of the build root's bwrap, itself a child of the launcher.
program_of() { # launcher pid
  local b p
  for b in $(cat "/proc/$1/task/$1/children" 2>/dev/null); do
    [ "$(cat "/proc/$b/comm" 2>/dev/null)" = bwrap ] || continue
    for p in $(cat "/proc/$b/task/$b/children" 2>/dev/null); do
      [ "$(cat "/proc/$p/comm" 2>/dev/null)" = DravikLite ] && echo "$p"
    done
  done
}
root_of() { # launcher pid: its bwrap, once the program runs in it
  local b
  for b in $(cat "/proc/$1/task/$1/children" 2>/dev/null); do
    [ "$(cat "/proc/$b/comm" 2>/dev/null)" = bwrap ] && [ -n "$(cat "/proc/$b/task/$b/children" 2>/dev/null)" ] &&
      echo "$b"
  done
}

n=0
for case in "kill of scripts/run" "kill of the program" "kill -9 of scripts/run" "kill while it starts"; do
  ok=1
  n=$((n + 1))
  here="$work/folder $n"
  mkdir "$here"
  cd "$here"
  DRAVIK_RUN_BUILD=$kind "$TOP/scripts/run" >"$work/out" 2>"$work/err" &
  launcher=$!
  program=
  if [ "$case" = "kill while it starts" ]; then
    # As soon as the build root holds a process: before the program has its handlers.
    for _ in $(seq 60000); do [ -n "$(root_of $launcher)" ] && break; sleep 0.005; done
  else
    # Up to its window: the shut-down then has everything to tear down.
    for _ in $(seq 1200); do
      program=$(program_of $launcher)
      [ -n "$program" ] && [ -n "$("$TOP/scripts/in-root" xdotool search --pid "$program" 2>/dev/null)" ] && break
      sleep 0.1
    done
  fi
  program=${program:-$(program_of $launcher)}
  case $case in
    "kill of the program") kill -TERM "$program" ;;
    "kill -9 of scripts/run") kill -KILL "$launcher" ;;
    *) kill -TERM "$launcher" ;;
  esac
  wait "$launcher" 2>/dev/null
  status=$?
  for _ in $(seq 600); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  check "the program still runs" test -z "$program" -o ! -d "/proc/$program"
  check "no shut-down: $(tail -n 3 "$work/out")" grep -q "^Received SIGTERM, closing the window" "$work/out"
  check "not torn down" grep -q "^OpenGL context terminated successfully" "$work/out"
  [ "$case" = "kill -9 of scripts/run" ] || check "scripts/run exited with $status" test "$status" -eq 0
  check "the layout is not in the caller's folder" test -s "$here/imgui.ini"
  check "the layout went beside the program" test ! -e "$TOP/build/$kind/bin/imgui.ini"
  if [ $ok = 1 ]; then
    passed=$((passed + 1))
    echo "ok: $case"
  else
    failed=$((failed + 1))
    cat "$work/err"
  fi
  cd "$work"
done

# The folder check comes before any build: / is refused.
case="started in /"
ok=1
out=$(cd / && "$TOP/scripts/run" 2>&1)
check "/ accepted" test $? -ne 0
check "no reason given: $out" grep -q "cannot work in /:" <<<"$out"
if [ $ok = 1 ]; then passed=$((passed + 1)) && echo "ok: $case"; else failed=$((failed + 1)); fi

# The summary line scripts/test counts.
total=$((passed + failed))
echo "$((passed * 100 / total))% tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ]
