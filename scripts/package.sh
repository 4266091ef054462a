#!/usr/bin/env bash
# Builds the Debian package (build-package/harbinel_<version>_<arch>.deb) and checks it with
# lintian. The settings file goes to /etc/harbinel, where an upgrade keeps a parent's values.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
umask 022  # Debian wants 0755 folders and 0644 files in the package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DHARBINEL_SETTINGS_FOLDER=/etc/harbinel -DHARBINEL_BUILD_TESTS=OFF -DHARBINEL_BUILD_BENCH=OFF
cmake --build build-package -j "$(nproc)"
(cd build-package && cpack -G DEB)
deb=$(ls build-package/harbinel_*.deb)
echo "Built $deb"
lintian --fail-on error "$deb"
