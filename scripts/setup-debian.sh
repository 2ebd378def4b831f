#!/usr/bin/env bash
# Installs everything Kinovane needs to build, test and run on Debian 12. Run as root (or
# through sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    cmake ninja-build g++ clang clang-format libclang-rt-14-dev
    qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev libgl-dev libeigen3-dev
    libgl1-mesa-dri libglx-mesa0 xvfb xauth
    qt6-qpa-plugins dpkg-dev file parallel
)
apt-get update
apt-get install -y --no-install-recommends "${packages[@]}"
