#!/usr/bin/env bash
# Builds the Debian package in a build directory, unpacks it into a scratch root (no root
# rights needed) and checks that its files are in place, that the programs start, and that an
# installed run keeps its construct files in a per-user data folder.
#
#   scripts/check-deb.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "check-deb: FAILED: $*" >&2
    exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
rm -f "$build"/vireo-manager_*.deb
if ! (cd "$build" && cpack -G DEB) >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack -G DEB did not build the package"
fi
debs=("$build"/vireo-manager_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no vireo-manager_${version}_*.deb in $build"
deb=${debs[0]}
echo "check-deb: built $(basename "$deb")"

# The control fields, and the libraries found by dpkg-shlibdeps.
fields=$(dpkg-deb --field "$deb" Package Version Depends Maintainer)
for want in "Package: vireo-manager" "Version: $version" "Depends: .*libqt6widgets6" \
    "Depends: .*libcurl" "Maintainer: ."; do
    grep -q "^$want" <<<"$fields" || fail "control field '$want' missing in: $fields"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
for f in bin/vireo-manager bin/vireo bin/vireo-sim; do
    [ -x "$root/usr/$f" ] || fail "/usr/$f is missing or not executable"
done
for f in vireo-manager/KA40_v1.1.0.vmcon vireo-manager/KM40X_v1.0.2.vmcon \
    vireo-manager/sample-firmware/KA40_v1.2.0.ebl applications/vireo-manager.desktop \
    icons/hicolor/48x48/apps/vireo-manager.png icons/hicolor/256x256/apps/vireo-manager.png; do
    [ -s "$share/$f" ] || fail "/usr/share/$f is missing or empty"
done
if ls "$share"/vireo-manager/sample-firmware | grep -qE 'corrupt|truncated|no_header'; then
    fail "images made to test faults are in the package"
fi
file "$share/icons/hicolor/48x48/apps/vireo-manager.png" | grep -q "PNG image data, 48 x 48" ||
    fail "the 48x48 icon is not a 48 x 48 PNG"
desktop=$share/applications/vireo-manager.desktop
for want in "Name=Vireo Manager" "Exec=vireo-manager" "Icon=vireo-manager" "Terminal=false"; do
    grep -qx "$want" "$desktop" || fail "desktop entry lacks $want"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi

# The programs start from the unpacked root.
"$root/usr/bin/vireo" --version | grep -qF "$version" || fail "vireo --version"
"$root/usr/bin/vireo-manager" --version | grep -qxF "Vireo Manager $version" ||
    fail "vireo-manager --version"

# An installed run: the simulated module and the command line find their construct files in
# the per-user data folder, which the first start fills from /usr/share/vireo-manager without
# replacing a file the user already has.
export XDG_DATA_HOME=$scratch/data VIREO_PORT_DIR=$scratch/ports VIREO_REGISTERED_PORTS_ONLY=1
user=$XDG_DATA_HOME/vireo-manager
mkdir -p "$user"
echo "the user's own file" >"$user/KA40_v1.0.2.vmcon"
source scripts/start-sim.sh
start_sim "$root/usr/bin/vireo-sim" --com 1 --remotes 0 >/dev/null 2>"$scratch/sim.log" || {
    cat "$scratch/sim.log" >&2
    fail "the installed vireo-sim did not start"
}
(cd "$scratch" && "$root/usr/bin/vireo" export --port COM1 bench.zgb 2>export.log) || {
    cat "$scratch/export.log" >&2
    fail "the installed vireo could not export through its construct file"
}
grep -q "^\[Firmware\]" "$scratch/bench.zgb" || fail "the export holds no [Firmware] section"
cmp -s "$share/vireo-manager/KA40_v1.1.0.vmcon" "$user/KA40_v1.1.0.vmcon" ||
    fail "the per-user folder was not filled with the shipped construct files"
[ "$(cat "$user/KA40_v1.0.2.vmcon")" = "the user's own file" ] ||
    fail "a construct file of the user was replaced"
echo "check-deb: OK ($(basename "$deb"): files in place, programs start, per-user folder filled)"
