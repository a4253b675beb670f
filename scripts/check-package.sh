#!/usr/bin/env bash
# Builds the server's Debian package and checks it with lintian (apt-get install lintian first).
# Not part of CI: packaging is checked by hand before a release.
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target corvane-server corvane_server_changelog
(cd "$build" && cpack -G DEB)
package=$(ls -t "$build"/corvane-server_*.deb | head -n 1)
echo "checking $package"
lintian --fail-on error "$package"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze security --offline=yes "$(dirname "$0")/../packaging/corvane-server.service" || true
fi
