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
  share/harbinel/FrmParent.ui share/applications/net.harbinel.Harbinel.desktop \
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

# A display of our own, so the test sees only the installed program's windows.
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

mkdir -p "$work/home"
HOME=$work/home XDG_DATA_HOME='' GTK_A11Y=none WEBKIT_A11Y_BUS_ADDRESS='' \
  "$prefix/bin/harbinel" >"$work/harbinel.log" 2>&1 &
program_pid=$!

# The kiosk window arrives 3.0 s after the start and covers the whole screen.
for _ in $(seq 1 150); do
  for window in $(xdotool search --onlyvisible --name '^Harbinel$' 2>/dev/null); do
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
    if [ "$geometry" = "1024x768" ]; then
      [ -f "$work/home/.local/share/Pellwick/hts/$(date +%d%m%Y).lic" ] ||
        fail "the installed program did not provision its data folder"
      cmp -s "$prefix/share/harbinel/dmn" "$work/home/.local/share/Pellwick/dmn" ||
        fail "the shipped dmn was not copied into the data folder"
      kill -0 "$program_pid" || fail "the program ended"
      echo "the installed program shows its kiosk window over the whole screen"
      exit 0
    fi
  done
  sleep 0.1
done
cat "$work/harbinel.log" >&2
fail "no full-screen Harbinel window within 15 s"
