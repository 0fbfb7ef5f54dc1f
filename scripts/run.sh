#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated radio module on COM1 at 9600 baud and
# starts the manager beside it. The module stops when the manager closes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target vireo-manager vireo-sim vireo_sample_data
build/bin/vireo-sim --com 1 --baud 9600 > /tmp/vireo-sim.$$.out &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
# The simulator prints its device path once its COM1 entry is registered.
for _ in $(seq 100); do [ -s /tmp/vireo-sim.$$.out ] && break; sleep 0.1; done
echo "Simulated module on COM1: $(head -n 1 /tmp/vireo-sim.$$.out)"
build/bin/vireo-manager
