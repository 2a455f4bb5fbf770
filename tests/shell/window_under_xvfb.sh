#!/usr/bin/env bash
# The windowed program under a real X server (Xvfb): its window carries the
# title, and Escape ends the program with exit code 0 in well under a second.
# Usage: window_under_xvfb.sh <program> <folder with fx/, textures/, sound/>
set -uo pipefail
program="$1"
content="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

display=":$((100 + $$ % 800))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null' EXIT
export DISPLAY="$display"
unset SDL_VIDEODRIVER WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"

cd "$content"
errors="$(mktemp)"
"$program" 2>"$errors" &
pid=$!
window=""
for _ in $(seq 150); do
  window="$(xdotool search --onlyvisible --name '^Tiny little wrapper thingie$' 2>/dev/null | head -n 1)"
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended before showing its window: $(cat "$errors")"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled 'Tiny little wrapper thingie'"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended by itself: $(cat "$errors")"

xdotool windowfocus --sync "$window"
start=$(date +%s%N)
xdotool key Escape
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
kill -0 "$pid" 2>/dev/null && fail "still running one second after Escape"
wait "$pid"
status=$?
pid=""
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" -eq 0 ] || fail "exit code $status after Escape: $(cat "$errors")"
rm -f "$errors"
echo "Escape ended the program with exit 0 after ${elapsed_ms} ms"
