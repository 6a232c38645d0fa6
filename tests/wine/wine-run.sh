#!/usr/bin/env bash
# Runs a Windows program under Wine in its own prefix:
#   wine-run.sh [--stop-server] PREFIX PROGRAM [ARGS...]
# With no program it only makes sure the prefix exists. The prefix is made on
# first use (wineboot, about ten seconds); a lock keeps parallel test runs
# from making it twice. --stop-server ends the prefix's Wine server after the
# program: a server started on one X display cannot serve the next one.
set -euo pipefail
stop_server=0
if [ "${1:-}" = --stop-server ]; then
  stop_server=1
  shift
fi
prefix=$1
shift

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"
if (($# == 0)); then
  exit 0
fi
if ((!stop_server)); then
  exec wine "$@"
fi
status=0
wine "$@" || status=$?
wineserver -k || true
exit $status
