#!/usr/bin/env bash
# Regenerates the pictures the README shows, in docs/screenshots/:
#   window.png    the GTK window while an image streams, as the window test
#                 takes it on its own Xvfb;
#   terminal.png  `flashloader-cli --simulate` typed into an 80x24 xterm on a
#                 private Xvfb, taken once the job has ended.
# A documentation tool, not part of scripts/test.sh. It needs what
# scripts/install-deps.sh installs, and the Debian packages xterm (with
# fonts-dejavu-core) and optipng:
#   apt-get install xterm fonts-dejavu-core optipng
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/screenshots
out=docs/screenshots
limit_s=60  # for the display, the terminal window, and the job

missing=()
for tool in Xvfb xdotool import convert xterm optipng cmake; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "screenshots.sh: missing ${missing[*]} (see the top of this script)" >&2
  exit 1
fi

scratch=$(mktemp -d)
pids=()
# Ends what was started, the latest first: xterm before its display.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "screenshots.sh: $*" >&2
  exit 1
}

# wait_for DESCRIPTION COMMAND...: retries the command for up to limit_s.
wait_for() {
  local what=$1
  shift
  for _ in $(seq $((limit_s * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  fail "no $what after ${limit_s} s"
}

# publish SHOT NAME: a 1-pixel grey frame (both pictures have a light
# background), no metadata, losslessly compressed.
publish() {
  convert "$1" -strip -bordercolor '#b0b0b0' -border 1 "$out/$2"
  optipng -quiet -o5 "$out/$2"
  echo "$out/$2: $(identify -format '%wx%h' "$out/$2"), $(stat -c %s "$out/$2") bytes"
}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target test_gui flashloader flashloader-cli modemsim
mkdir -p "$out"

# The window: the whole-flash window test leaves its shot in the build tree.
rm -f "$build/tests/gui/streaming.png"
"$build/tests/test_gui" --gtest_filter=GtkWindowRunTest.WholeFlashEndsWithTheImageInTheModem
publish "$build/tests/gui/streaming.png" window.png

# The terminal: an interactive shell in xterm; the shell appends a line to
# `prompts` at every prompt, so the second line means the command ended.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
wait_for "Xvfb display" grep -q . "$scratch/display"
DISPLAY=":$(cat "$scratch/display")"
export DISPLAY

prompts=$scratch/prompts
: >"$prompts"
bin=$PWD/$build/bin
(
  cd "$scratch"
  exec env HOME="$scratch" HISTFILE=/dev/null PATH="$bin:$PATH" PS1='$ ' \
    PROMPT_COMMAND="echo >>'$prompts'" \
    xterm -geometry 80x24 -b 6 -fa 'DejaVu Sans Mono' -fs 11 -title flashloader-terminal \
    -e bash --norc --noprofile -i
) &
pids+=($!)
window=
find_window() { window=$(xdotool search --onlyvisible --name '^flashloader-terminal$' | head -n 1) && [ -n "$window" ]; }
wait_for "terminal window" find_window
prompt_count() { [ "$(wc -l <"$prompts")" -ge "$1" ]; }
wait_for "shell prompt" prompt_count 1

xdotool windowfocus --sync "$window"
xdotool type --delay 20 'flashloader-cli --simulate'
xdotool key Return
wait_for "end of flashloader-cli --simulate" prompt_count 2
import -window "$window" "$scratch/terminal.png"
publish "$scratch/terminal.png" terminal.png
