#!/usr/bin/env bash
# Builds Kinovane and starts it in samples/, where the default mass-segment model is found.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
cd samples
exec ../build/app/kinovane --open walk.bvh
