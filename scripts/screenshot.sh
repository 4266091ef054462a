#!/usr/bin/env bash
# Starts a program on the current display, waits until its kiosk window is up, saves a
# screenshot of the whole screen, and stops the program.
set -euo pipefail
program=$1
shot=$2
mkdir -p "$(dirname "$shot")"
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true' EXIT
sleep 6
import -window root "$shot"
echo "Harbinel ran on the virtual display $DISPLAY; screenshot saved to $(realpath "$shot")"
