#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a private Xvfb server started for the
# command and stopped after it, whatever way the command ends.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
# Xvfb picks a free display number itself and writes it once it accepts clients.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true; rm -f "$number_file"' EXIT
for _ in $(seq 1 300); do
  [ "$(wc -l <"$number_file")" -ge 1 ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb ended before it reported a display" >&2; exit 1; }
  sleep 0.1
done
number=$(tr -d '[:space:]' <"$number_file")
[ -n "$number" ] || { echo "Xvfb did not report a display within 30 s" >&2; exit 1; }
export DISPLAY=":$number"
"$@"
