#!/usr/bin/env bash
# Every text of the program has a translation in every language: the texts are extracted
# afresh from the files of POTFILES (so a text marked but never extracted is caught too), and
# each <language>.po must translate all of them, with no fuzzy or untranslated message left.
#   po/check-translations.sh <xgettext command and its options...>
set -euo pipefail
po="$(cd "$(dirname "$0")" && pwd)"
fresh="$(mktemp --suffix=.pot)"
trap 'rm -f "$fresh"' EXIT
"$@" --output="$fresh"
status=0
while read -r language; do
  case "$language" in ''|'#'*) continue ;; esac
  statistics="$(msgfmt --check --statistics -o /dev/null "$po/$language.po" 2>&1)"
  echo "$language: $statistics"
  case "$statistics" in *fuzzy*|*untranslated*) status=1 ;; esac
  msgcmp "$po/$language.po" "$fresh" || status=1
done < "$po/LINGUAS"
exit "$status"
