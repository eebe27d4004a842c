#!/bin/sh
# wine_prefix.sh prepare|remove PREFIX
#
# prepare: makes a fresh Wine prefix at PREFIX and leaves its wineserver
# running, so that each test's Wine processes start fast. The server ends by
# itself five minutes after the last Wine process of the run, should the
# removal never come.
# remove: ends every Wine process of the prefix (a tool that a failed test
# left running too) and deletes the prefix.
set -eu
action=$1
prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all
# Without a display, Wine's message boxes return at once instead of waiting.
unset DISPLAY WAYLAND_DISPLAY

case $action in
prepare)
  if [ -d "$prefix" ]; then
    wineserver -k 2>/dev/null || true  # left by an interrupted run
    rm -rf "$prefix"
  fi
  mkdir -p "$prefix"
  # Wine's processes outlive this script: none may keep the test runner's
  # output open, or it would wait for them.
  if ! { wineserver -p300 && wine wineboot --init; } </dev/null >"$prefix/prepare.log" 2>&1; then
    cat "$prefix/prepare.log" >&2
    exit 1
  fi
  ;;
remove)
  if [ -d "$prefix" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  fi
  ;;
*)
  echo "usage: $0 prepare|remove PREFIX" >&2
  exit 2
  ;;
esac
