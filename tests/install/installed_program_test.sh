#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the installed layout, starts the installed
# program on a display of its own and waits for its kiosk window to cover the screen.
#   installed_program_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/harbinel bin/harbinel-lists bin/harbinel-session \
  share/harbinel/data.plist share/harbinel/dmn share/harbinel/dmnsame \
  share/harbinel/MainMenu.ui share/harbinel/FrmFavourites.ui share/harbinel/FrmPassword.ui \
  share/harbinel/FrmParent.ui share/harbinel/HistoryView.ui share/locale/de/LC_MESSAGES/harbinel.mo \
  share/applications/net.harbinel.Harbinel.desktop \
  share/metainfo/net.harbinel.Harbinel.metainfo.xml \
  share/icons/hicolor/scalable/apps/net.harbinel.Harbinel.svg \
  share/xsessions/harbinel-session.desktop share/man/man1/harbinel.1.gz; do
  [ -e "$prefix/$file" ] || fail "the install lacks $file"
done
desktop-file-validate "$prefix/share/applications/net.harbinel.Harbinel.desktop" ||
  fail "the desktop entry does not validate"
desktop-file-validate "$prefix/share/xsessions/harbinel-session.desktop" ||
  fail "the session entry does not validate"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/net.harbinel.Harbinel.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "the metainfo does not validate"; }

# A display of our own, so the test sees only the installed program's windows. Xvfb picks a free
# number itself and writes it once it accepts clients, however long a loaded machine makes it take.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 300); do
  [ "$(wc -l <"$work/display")" -ge 1 ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended before it reported a display"
  sleep 0.1
done
display=":$(tr -d '[:space:]' <"$work/display")"
[ "$display" != ":" ] || fail "Xvfb did not report a display within 30 s"
export DISPLAY=$display

mkdir -p "$work/home"
HOME=$work/home XDG_DATA_HOME='' GTK_A11Y=none WEBKIT_A11Y_BUS_ADDRESS='' \
  "$prefix/bin/harbinel" >"$work/harbinel.log" 2>&1 &
program_pid=$!

# The splash comes first and also covers the screen; the kiosk window is the next window of
# that name, 3.0 s after the start.
splash=""
kiosk_geometry=""
for _ in $(seq 1 300); do
  for window in $(xdotool search --onlyvisible --name '^Harbinel$' 2>/dev/null); do
    [ -n "$splash" ] || splash=$window
    [ "$window" != "$splash" ] || continue
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
    # It may map before it has grown to the screen; wait for that too.
    [ "$geometry" = "1024x768" ] || { kiosk_geometry=$geometry; continue; }
    [ -f "$work/home/.local/share/Pellwick/hts/$(date +%d%m%Y).lic" ] ||
      fail "the installed program did not provision its data folder"
    cmp -s "$prefix/share/harbinel/dmn" "$work/home/.local/share/Pellwick/dmn" ||
      fail "the shipped dmn was not copied into the data folder"
    kill -0 "$program_pid" || fail "the program ended"
    echo "the installed program shows its kiosk window over the whole screen"
    exit 0
  done
  sleep 0.1
done
cat "$work/harbinel.log" >&2
[ -n "$splash" ] || fail "no Harbinel window within 30 s"
[ -z "$kiosk_geometry" ] || fail "the kiosk window stayed $kiosk_geometry, not the whole 1024x768 screen"
fail "the splash showed but no kiosk window followed within 30 s"
