#!/bin/sh
# A file in use is deleted at the next restart: the engine schedules the deletion, a simulated
# restart (wineboot -r) carries it out, and nothing stays scheduled.
#   restart-delete.sh WINE-RUN PREFIX PROBE
set -eu
run=$1
prefix=$2
probe=$3
"$run" "$prefix" "$probe" schedule
"$run" "$prefix" wineboot -r
"$run" "$prefix" "$probe" check
