#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and run Harbinel.
# Idempotent: packages already present are left alone and apt is not touched.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  libplist-dev libplist++-dev libicu-dev libglib2.0-dev liblzma-dev xz-utils
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libgtkmm-4.0-dev libwebkitgtk-6.0-dev libsoup-3.0-dev libx11-dev
  xvfb xauth xdotool x11-utils imagemagick openbox
  gettext python3 lintian dpkg-dev fakeroot desktop-file-utils appstream clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
