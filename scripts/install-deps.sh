#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the application need.
# Runs apt only when something is missing, so repeated calls are quick.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools
  qt6-svg-dev qt6-httpserver-dev qt6-websockets-dev qcoro-qt6-dev qtkeychain-qt6-dev
  libqt6sql6-sqlite libqt6sql6-psql libqt6svg6
  qml6-module-qtqml-workerscript qml6-module-qtquick qml6-module-qtquick-controls
  qml6-module-qtquick-layouts qml6-module-qtquick-templates qml6-module-qtquick-window
  qml6-module-qtquick-shapes
  qt6-qpa-plugins
  libsodium-dev libbenchmark-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev liblz4-dev
  postgresql openssl
  fonts-material-design-icons-iconfont fonts-dejavu-core
  xvfb xauth
  openbox xdotool qml-qt6
  at-spi2-core python3-pyatspi
  clang-format clang-tidy
  nodejs
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
