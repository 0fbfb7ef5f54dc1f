# Sourced by run.sh. start_sim PROGRAM [OPTIONS...] starts the simulated module in the
# background and waits until it has registered its port. It sets sim_pid, sim_device (its
# pseudo-terminal) and sim_com, the COM number it really took: when the number asked for
# belongs to another device, the simulator takes the next free one.

# The COM<n> entry of the port directory that links to the device $1.
sim_port_of() {
    local dir=${VIREO_PORT_DIR:-$HOME/.config/vireo-manager/ports} entry
    for entry in "$dir"/COM*; do
        if [ -L "$entry" ] && [ "$(readlink "$entry")" = "$1" ]; then
            basename "$entry"
            return
        fi
    done
}

start_sim() {
    local out
    out=$(mktemp)
    "$@" > "$out" &
    sim_pid=$!
    # The simulator prints its device path once its port entry is registered.
    for _ in $(seq 100); do
        [ "$(wc -l < "$out")" -gt 0 ] && break
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    sim_device=$(head -n 1 "$out")
    rm -f "$out"
    if [ -z "$sim_device" ]; then
        echo "The simulated module did not start." >&2
        return 1
    fi
    sim_com=$(sim_port_of "$sim_device")
    echo "Simulated module on ${sim_com:-no COM port}: $sim_device"
    if [ -n "$sim_com" ] && [ "$sim_com" != COM1 ]; then
        echo "COM1 belongs to another device: choose $sim_com in the port list before pressing Open."
    fi
}
