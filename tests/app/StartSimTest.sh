#!/usr/bin/env bash
# run.sh names the COM number the simulated module really took: COM1 when it is free, the
# next number when COM1 belongs to another device.
# Usage: StartSimTest.sh VIREO_SIM SCRIPTS_DIR
set -euo pipefail
sim=$1
source "$2/start-sim.sh"
VIREO_PORT_DIR=$(mktemp -d)
export VIREO_PORT_DIR
log=$(mktemp)
stop() {
    if [ -n "${sim_pid:-}" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    sim_pid=
}
trap 'stop; rm -rf "$VIREO_PORT_DIR" "$log"' EXIT

expect() {
    if ! grep -qx -- "$1" "$log"; then
        echo "expected the line: $1"
        echo "got:"
        cat "$log"
        exit 1
    fi
}

start_sim "$sim" --com 1 > "$log"
[ "$sim_com" = COM1 ]
expect "Simulated module on COM1: $sim_device"
if grep -q "belongs to another device" "$log"; then
    cat "$log"
    exit 1
fi
stop

ln -s /dev/null "$VIREO_PORT_DIR/COM1" # another device holds COM1
start_sim "$sim" --com 1 > "$log"
[ "$sim_com" = COM2 ]
expect "Simulated module on COM2: $sim_device"
expect "COM1 belongs to another device: choose COM2 in the port list before pressing Open."
echo "ok"
