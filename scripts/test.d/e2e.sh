#!/bin/sh
# End-to-end test of the juke-box under Xvfb, driven by xdotool: the window and its title,
# the single instance, Play (title and sound in SDL's disk audio file), the song popup
# (a screenshot is kept), Stop and Exit. Also runnable by hand: sh scripts/test.d/e2e.sh
set -eu
cd "$(dirname "$0")/../.."
bin="${VEXOLIN_BIN:-build/shell/vexolin}"
if [ ! -x "$bin" ]; then
  echo "e2e: $bin is not built; build it first (cmake --build build --target vexolin)" >&2
  exit 1
fi
work="$(mktemp -d)"
shot="${VEXOLIN_E2E_SHOT:-$work/popup.png}"
display=":${VEXOLIN_E2E_DISPLAY:-99}"  # another free display number if 99 is taken
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "e2e: FAIL: $*" >&2
  exit 1
}
# Polls a command up to $1 tenths of a second.
wait_for() {
  tries="$1"
  shift
  while [ "$tries" -gt 0 ]; do
    if "$@" >/dev/null 2>&1; then return 0; fi
    tries=$((tries - 1))
    sleep 0.1
  done
  return 1
}
# The window's title is exactly $1 (compared as bytes, whatever the locale).
title_is() { xdotool search --name 'Vexolin' getwindowname %@ 2>/dev/null | grep -qxF "$1"; }
has_sound() { [ -s "$work/audio.raw" ] && [ "$(tr -d '\000' <"$work/audio.raw" | head -c 16 | wc -c)" -gt 0 ]; }

# Without a display the program says so on standard error and exits with a non-zero status.
if env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy timeout 20 "$bin" \
  >"$work/nodisplay.log" 2>&1; then
  fail "without a display the program exited with 0"
fi
grep -q "cannot open the display" "$work/nodisplay.log" || fail "no message without a display"
echo "e2e: without a display: $(grep 'cannot open the display' "$work/nodisplay.log")"

# The screen is 640 x 480 so the window is shown at its natural scale of 1.
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
wait_for 100 xdpyinfo || fail "Xvfb did not start"

export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
"$bin" >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 150 title_is "Vexolin [停止中]" || { cat "$work/app.log" >&2; fail "no window titled 'Vexolin [停止中]'"; }
win="$(xdotool search --name 'Vexolin' | head -n 1)"
xprop -id "$win" _NET_WM_NAME | grep -q 'Vexolin \[停止中\]' || fail "xprop does not show the title"
echo "e2e: window $win titled 'Vexolin [停止中]'"

# A second copy exits with 0 at once and opens no window.
SDL_DISKAUDIOFILE="$work/second.raw" timeout 20 "$bin" >"$work/second.log" 2>&1 || fail "second copy exited with $?"
[ "$(xdotool search --name 'Vexolin' | wc -l)" -eq 1 ] || fail "the second copy opened a window"
echo "e2e: second copy exited 0 without a window"

# Menu bar items, in window coordinates: "□演奏" from 2, "曲選択" from 50, "終了" from 98.
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }
click 30 10
wait_for 100 title_is "Vexolin [演奏中]" || fail "Play did not make the title 'Vexolin [演奏中]'"
wait_for 150 has_sound || fail "no sound reached the disk audio file"
echo "e2e: playing; $(wc -c <"$work/audio.raw") bytes of audio with non-zero samples"

# The song popup, photographed, then closed with Esc.
click 74 10
sleep 0.5
xwd -root -display "$display" -out "$work/popup.xwd" || fail "no screenshot"
xwdtopnm "$work/popup.xwd" 2>/dev/null | pnmtopng >"$shot" 2>/dev/null || fail "no screenshot"
xdotool key --window "$win" Escape
echo "e2e: screenshot of the popup in $shot"

# The version box ("@" from 134) over the window while the song plays: the music and the
# tick marker go on (two pictures of the window a moment apart differ), Enter closes it.
click 143 10
sleep 0.3
xwd -id "$win" -out "$work/box1.xwd" || fail "no picture of the window"
bytes_before="$(wc -c <"$work/audio.raw")"
sleep 0.6
xwd -id "$win" -out "$work/box2.xwd" || fail "no picture of the window"
xwdtopnm "$work/box2.xwd" 2>/dev/null | pnmtopng >"${VEXOLIN_E2E_BOX_SHOT:-$work/box.png}" 2>/dev/null || true
cmp -s "$work/box1.xwd" "$work/box2.xwd" && fail "the window did not change while the version box was shown"
[ "$(wc -c <"$work/audio.raw")" -gt "$bytes_before" ] || fail "the music stopped under the version box"
xdotool key --window "$win" Return
title_is "Vexolin [演奏中]" || fail "the version box changed the title"
echo "e2e: version box shown over the playing song, marker moving; closed with Enter"

click 30 10
wait_for 100 title_is "Vexolin [停止中]" || fail "Stop did not make the title 'Vexolin [停止中]'"
echo "e2e: stopped"

click 116 10
status=0
wait_for 100 sh -c "! kill -0 $app_pid" || fail "Exit did not end the program"
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program exited with $status"
echo "e2e: exit from the menu, status 0"
echo "e2e: PASS"
