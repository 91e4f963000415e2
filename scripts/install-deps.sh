#!/usr/bin/env bash
# Installs the Debian 12 packages Velmora needs to build, test and run.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    build-essential cmake ninja-build pkg-config git ca-certificates \
    qt6-base-dev libgl-dev libgmime-3.0-dev libicu-dev libdw-dev libssl-dev \
    googletest libgtest-dev libgmock-dev libbenchmark-dev \
    clang-format xvfb xauth xdg-utils fonts-dejavu-core adwaita-icon-theme \
    python3 >/dev/null
