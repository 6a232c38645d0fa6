#!/usr/bin/env bash
# Runs a Windows program under Wine in its own prefix: wine-run.sh PREFIX
# PROGRAM [ARGS...]. The prefix is made on first use (wineboot, about ten
# seconds); a lock keeps parallel test runs from making it twice.
set -euo pipefail
prefix=$1
shift

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"
exec wine "$@"
