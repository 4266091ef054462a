#!/usr/bin/env bash
# The kiosk session starts Harbinel again after every end but a parent's quit (status 0): here
# a stand-in Harbinel is killed, then fails, then quits.
set -euo pipefail
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cat >"$folder/harbinel" <<'STANDIN'
#!/bin/sh
echo start >>"$(dirname "$0")/starts"
case $(wc -l <"$(dirname "$0")/starts") in
  1) kill -KILL $$ ;;
  2) exit 1 ;;
  *) exit 0 ;;
esac
STANDIN
chmod +x "$folder/harbinel"
PATH="$folder:$PATH" timeout 30 sh "$1"
starts=$(wc -l <"$folder/starts")
[ "$starts" -eq 3 ] || { echo "Harbinel started $starts times, not 3"; exit 1; }
