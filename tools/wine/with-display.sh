#!/bin/sh
# Runs a command with an X display: the caller's, or a private Xvfb when there is none (CI).
if [ -n "${DISPLAY:-}" ] || ! command -v xvfb-run >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
