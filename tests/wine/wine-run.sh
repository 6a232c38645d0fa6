#!/usr/bin/env bash
# Runs a Windows program under Wine in its own prefix:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# With no program it only makes sure the prefix exists. The prefix is made on
# first use (wineboot, about ten seconds); a lock keeps parallel test runs
# from making it twice.
set -euo pipefail
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
exec wine "$@"
