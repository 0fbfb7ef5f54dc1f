#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated radio module on COM1 (or the next free
# number, when COM1 belongs to another device) at 9600 baud and starts the manager beside it.
# The module stops when the manager closes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target vireo-manager vireo-sim vireo_sample_data
source scripts/start-sim.sh
trap 'kill "${sim_pid:-}" 2>/dev/null || true' EXIT
# Paced: the module answers byte after byte at the line rate, as a real one does.
start_sim build/bin/vireo-sim --com 1 --baud 9600 --pacing
build/bin/vireo-manager
