#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then builds the Debian
# package and checks it in a scratch root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2 --timeout 300
scripts/check-deb.sh build
