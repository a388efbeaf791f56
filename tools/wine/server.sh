#!/bin/sh
# Starts (start) or stops (stop) the persistent wineserver of a prefix, so that the test
# programs of a run do not each pay for a cold server start.
#   server.sh start|stop PREFIX-DIR
set -u
export WINEPREFIX="$2" WINEDEBUG=-all
case $1 in
  start) wineserver -p </dev/null >/dev/null 2>&1 ;;
  stop) wineserver -k </dev/null >/dev/null 2>&1; wineserver -w </dev/null >/dev/null 2>&1 ;;
esac
exit 0
