#!/usr/bin/env bash
# One of the programs under a real X server (Xvfb): its window carries the
# title, and Escape ends the program with exit code 0 in well under a second.
# A full-screen program's window must cover the whole screen, even with no
# window manager to grant the request.
# Usage: window_under_xvfb.sh <program> <folder with fx/, textures/, sound/> [fullscreen]
set -uo pipefail
program="$1"
content="$2"
fullscreen="${3:-}"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Xvfb picks a free display itself and writes its number to the given file.
display_file="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -f "$display_file"' EXIT
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$display_file")"
unset SDL_VIDEODRIVER WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy

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
if [ -n "$fullscreen" ]; then
  screen="$(xdotool getdisplaygeometry | tr ' ' 'x')"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "${WIDTH}x${HEIGHT}" = "$screen" ] && [ "$X" -eq 0 ] && [ "$Y" -eq 0 ] ||
    fail "full-screen window is ${WIDTH}x${HEIGHT} at ($X, $Y), the screen $screen"
fi

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
