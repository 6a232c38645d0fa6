#!/usr/bin/env bash
# One run of flashloader.exe under Wine against the simulated modem, with the
# user's part (the file dialog, the message boxes) played by xdotool:
#   e2e_run.sh flash|close|silent MODEMSIM FLASHLOADER_EXE WORK_DIR WINE_PREFIX
# flash:  a modem on COM4 without a resident loader; the whole job must end in
#         success with the modem's flash equal to the image.
# close:  the same, but the user closes the window while the image streams
#         and confirms; the job must end at once and not report success.
# silent: COM2 and COM1 lead to a modem that answers nothing; the job must
#         report "Modem is not responding".
# Needs an X display (run it under xvfb-run). Everything it starts is ended
# before it returns, and the whole run is bounded in time.
set -uo pipefail

scenario=$1
modemsim=$(realpath "$2") exe=$(realpath "$3") work=$(realpath -m "$4") prefix=$(realpath -m "$5")
here=$(cd "$(dirname "$0")" && pwd)
deadline_s=90

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 2
export WINEPREFIX=$prefix
export WINEDLLOVERRIDES=mscoree,mshtml=
"$here/wine-run.sh" "$prefix" || { echo "cannot make the Wine prefix"; exit 2; }

sim_pid="" exe_pid=""
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() {
  # The Wine server goes before the simulator: it holds the terminal open and
  # floods standard error once the other end has gone.
  [ -n "$exe_pid" ] && kill "$exe_pid" 2>/dev/null
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP

"$modemsim" --make-image image.hex --type I --size 8192 >/dev/null || exit 2
"$modemsim" --make-loader flashldr.hex >/dev/null || exit 2

# --- the modem --------------------------------------------------------------
args=()
case $scenario in
flash | close)
  rm -f "$prefix/dosdevices/com4"
  # Slow enough programming for a screenshot while the image streams.
  "$modemsim" --link "$prefix/dosdevices/com4" --type I --record-ms 20 --expect image.hex >sim.out 2>sim.err &
  sim_pid=$!
  ;;
silent)
  "$modemsim" --type I --fault silent@cmd=1- >sim.out 2>sim.err &
  sim_pid=$!
  ;;
*) echo "unknown scenario $scenario"; exit 2 ;;
esac
for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
pty=$(head -n1 sim.out)
[ -n "$pty" ] || { echo "modemsim did not start:"; cat sim.err; exit 2; }

if [ "$scenario" = silent ]; then
  # Wine falls back to /dev/ttyS<n-1> for a COMn it cannot resolve, so both
  # ports probed are mapped, in its port table, to the silent modem.
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n"COM1"="%s"\r\n"COM2"="%s"\r\n' "$pty" "$pty" >ports.reg
  WINEDEBUG=-all wine regedit /S ports.reg
  WINEDEBUG=-all wineserver -k
  args=(2)
fi

# --- the program and its user -----------------------------------------------
# +debugstr puts the debug log on standard error, +win the texts of windows.
: >wine.log
WINEDEBUG=-all,+debugstr,+win wine "$exe" "${args[@]}" >exe.out 2>wine.log &
exe_pid=$!

boxes=()
declare -A answered  # X window ids of boxes already answered
streaming=0
start=$SECONDS
answer() {  # window id [keys]
  xdotool windowfocus --sync "$1" 2>/dev/null || return 1
  (($# == 1)) || xdotool key "${@:2}"
}
while kill -0 "$exe_pid" 2>/dev/null; do
  if ((SECONDS - start > deadline_s)); then
    fail "no end after $deadline_s s"
    WINEPREFIX=$prefix wineserver -k
    break
  fi
  # Once the status shows a quarter or more of the image sent: a screenshot,
  # or the user closes the window (Alt+F4).
  if ((!streaming)) && grep -q -E 'L"Programming the Flash\\n<[2-9][0-9]%' wine.log; then
    streaming=1
    case $scenario in
    flash) import -window root streaming.png ;;
    close) answer "$(xdotool search --onlyvisible --name '^Flash - ' | head -n1)" alt+F4 ;;
    esac
  fi
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [ -n "${answered[$w]:-}" ] && continue
    name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
    case $name in
    "Flash Loader Ver:4.4" | "Flash - "*) continue ;;  # the main window
    "Choose File to Download")
      answer "$w" && xdotool type "Z:${work//\//\\}\\image.hex" && xdotool key Return
      ;;
    *)
      # A message box: press its default button.
      answer "$w" Return
      ;;
    esac
    answered[$w]=1
    boxes+=("$name")
  done
  sleep 0.2
done
wait "$exe_pid"
exe_status=$?
exe_pid=""
WINEPREFIX=$prefix wineserver -k
kill "$sim_pid"
wait "$sim_pid"
sim_status=$?
sim_pid=""

# The debug log: OutputDebugStringA texts, in order.
grep -o 'OutputDebugStringA ".*"$' wine.log | sed 's/^OutputDebugStringA //' >debug.log
has_line() {  # each log line comes framed by line feeds
  grep -A1 -B1 -Fx "\"$1\"" debug.log | grep -c -Fx '"\n"' | grep -q '^2$' || fail "debug log lacks \"$1\""
}
shown() {
  grep -q -F "set_window_text L\"$1" wine.log || fail "never shown: \"$1\""
}
printf 'window: "%s"\n' "${boxes[@]}"

case $scenario in
flash)
  [ "$exe_status" = 0 ] || fail "flashloader.exe exit status $exe_status, expected 0"
  [ "$sim_status" = 0 ] || fail "the modem's flash differs from the image (modemsim status $sim_status)"
  grep -q 'the flash equals the image' sim.err || fail "modemsim did not compare the flash"
  [ "${boxes[*]}" = "Choose File to Download     All Done..." ] || fail "boxes: ${boxes[*]}"
  shown "Flash - image.hex"
  shown 'Programming Successfully Completed.\nTime Elapsed'
  for line in "Trying Comm 4 " "Flash Open Comm Success on Com4 " "FLASH: Flash loader code download success" \
    "FLASH: Got EOF" "FLASH: Dnld successful" "FLASH: Flash Destroy Window"; do
    has_line "$line"
  done
  [ -s streaming.png ] || fail "no screenshot of the streaming"
  ;;
close)
  [ "$exe_status" = 1 ] || fail "flashloader.exe exit status $exe_status, expected 1"
  [ "$sim_status" = 1 ] || fail "modemsim status $sim_status, expected 1 (the flash not equal to the image)"
  ((streaming)) || fail "the image never streamed"
  [ "${boxes[*]}" = "Choose File to Download You May Have Cooked the Flash Chip!" ] || fail "boxes: ${boxes[*]}"
  grep -q -F 'Are you Sure you want to Kill the Flash Loader?' wine.log || fail "no question before closing"
  has_line "FLASH: Flash Destroy Window"
  ;;
silent)
  [ "$exe_status" = 1 ] || fail "flashloader.exe exit status $exe_status, expected 1"
  [ "${boxes[*]}" = "Choose File to Download Error..." ] || fail "boxes: ${boxes[*]}"
  grep -q 'Modem is not responding' wine.log || fail "no \"Modem is not responding\""
  has_line "Trying Comm 2 "
  has_line "Trying Comm 1 "
  has_line "FLASH: Flash Open Comm Failed"
  ;;
esac

if ((failures)); then
  echo "--- debug log"; cat debug.log
  echo "--- modemsim"; cat sim.err
  exit 1
fi
echo "PASS: $scenario"
