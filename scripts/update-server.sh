#!/usr/bin/env bash
# Serves the sample construct files and firmware images of data/ as an update server on the
# loopback interface, so that the web update can be tried without the internet:
#
#   scripts/update-server.sh [--port N] [--root DIR] [--all-versions]
#
# It lays out DIR (default: a fresh temporary folder) as the server does:
# DIR/download/software/vireo_manager/ holds every data/*.vmcon, the sound sample images
# (data/<product>_v<version>.ebl), the index "Configs" listing the construct files and the
# index "Firmware" with a "product:version:file" line for each product's newest image. Then it runs python3's
# http.server on 127.0.0.1:N (default 8088) until Ctrl-C. Point the manager at it with
#
#   VIREO_UPDATE_HOST=127.0.0.1:8088 build/bin/vireo-manager
#   VIREO_UPDATE_HOST=127.0.0.1:8088 build/bin/vireo update --check
#
# A module whose own version appears in the Firmware index is offered nothing, so the index
# names only the newest image of each product; --all-versions lists every image (a module at
# any listed version is then offered nothing, which is worth seeing once).
set -euo pipefail

root_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
port=8088
serve_root=""
all_versions=0
while [ $# -gt 0 ]; do
    case "$1" in
    --port) port=$2; shift 2 ;;
    --root) serve_root=$2; shift 2 ;;
    --all-versions) all_versions=1; shift ;;
    -h|--help) sed -n '2,19p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "update-server: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
command -v python3 >/dev/null || { echo "update-server: python3 is missing" >&2; exit 1; }
if [ -z "$serve_root" ]; then
    serve_root=$(mktemp -d /tmp/vireo-update-server.XXXXXX)
    trap 'rm -rf "$serve_root"' EXIT
fi
base="$serve_root/download/software/vireo_manager"
mkdir -p "$base"

# Configs: every construct file, one name a line, after the marker line.
{
    printf 'TOLK\r\n'
    for f in "$root_dir"/data/*.vmcon; do
        cp "$f" "$base/"
        printf '%s\r\n' "$(basename "$f")"
    done
} > "$base/Configs"

# Firmware: the images named <product>_v<version>.ebl, oldest first per product (the check
# offers the last line that counts for a device).
{
    printf 'TOLK\n'
    for product in $(ls "$root_dir"/data/*_v*.ebl | sed -n 's|.*/\([A-Z0-9]*\)_v[0-9.]*\.ebl$|\1|p' | sort -u); do
        images=$(ls "$root_dir"/data/"${product}"_v*.ebl | grep -E "/${product}_v[0-9.]+\.ebl$" | sort -V)
        [ "$all_versions" = 1 ] || images=$(printf '%s\n' "$images" | tail -n 1)
        for f in $images; do
            name=$(basename "$f")
            version=${name#"${product}_"}
            cp "$f" "$base/"
            printf '%s:%s:%s\n' "$product" "${version%.ebl}" "$name"
        done
    done
} > "$base/Firmware"

echo "update-server: serving $serve_root on http://127.0.0.1:$port/download/software/vireo_manager/"
echo "update-server: export VIREO_UPDATE_HOST=127.0.0.1:$port"
cd "$serve_root"
exec_status=0
python3 -m http.server "$port" --bind 127.0.0.1 || exec_status=$?
exit $exec_status
