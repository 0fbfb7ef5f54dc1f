#!/usr/bin/env bash
# Cross-builds the GUI-free core for 32-bit Windows with MinGW-w64, warnings as errors, in a
# fresh build directory, then links a small console program against it so that link errors
# (missing Windows libraries, undefined symbols) show up too. Exits non-zero on any failure.
#
#   bash .ci/cross-windows.sh            # build directory: build-win32 in the checkout
#   VIREO_WIN32_BUILD=/tmp/w32 bash .ci/cross-windows.sh
#
# The programs cannot run on the build machine; the checks are that everything compiles and
# links, and that the program is a 32-bit Windows executable needing only system DLLs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VIREO_WIN32_BUILD:-$root/build-win32}
toolchain=$root/cmake/mingw-i686.cmake
triplet=i686-w64-mingw32

# The compiler comes from Debian's packages; install it where this runs as root (CI).
if ! command -v ${triplet}-g++-posix >/dev/null 2>&1; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "cross-windows: installing the MinGW-w64 compiler"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            g++-mingw-w64-i686-posix binutils-mingw-w64-i686 >/dev/null
    else
        echo "cross-windows: ${triplet}-g++-posix is missing (apt-get install g++-mingw-w64-i686-posix)" >&2
        exit 1
    fi
fi

generator=()
if command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
fi

rm -rf "$build"
echo "cross-windows: configuring the core in $build"
cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DVIREO_CORE_ONLY=ON \
    -DVIREO_WERROR=ON
echo "cross-windows: building the core"
cmake --build "$build" --parallel 2

core_lib=$(find "$build" -name libvireo_core.a -print -quit)
if [ -z "$core_lib" ]; then
    echo "cross-windows: libvireo_core.a was not built" >&2
    exit 1
fi

# The port probe: a console program that is also handy on a real Windows machine.
probe_src=$build/port-probe
mkdir -p "$probe_src"
cat >"$probe_src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(VireoPortProbe LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers -Werror)
find_package(Threads REQUIRED)
add_library(vireo_core STATIC IMPORTED)
set_target_properties(vireo_core PROPERTIES
    IMPORTED_LOCATION "${VIREO_CORE_LIB}"
    INTERFACE_INCLUDE_DIRECTORIES "${VIREO_SOURCE_DIR}"
    INTERFACE_LINK_LIBRARIES "Threads::Threads;setupapi")
add_executable(vireo-port-probe probe.cpp)
target_link_libraries(vireo-port-probe PRIVATE vireo_core)
CMAKE

cat >"$probe_src/probe.cpp" <<'CPP'
// Lists the present COM ports. Given a port ("COM3"), a baud rate and optionally a text, it
// opens the port, sends the text with a carriage return, prints what arrives within a second,
// then closes and opens the port again to show that a reopen works.
//
//   vireo-port-probe.exe [COM<n> [baud [text]]]
#include "platform/PortMap.h"
#include "serial/SerialNotify.h"
#include "serial/SerialPort.h"
#include "serial/SerialPortList.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

// The port list asks for each port's default configuration with a 52-byte record.
static_assert(sizeof(COMMCONFIG) == 52, "COMMCONFIG is not the 52-byte record");
static_assert(WM_SERIAL_DATA == WM_USER + 1, "WM_SERIAL_DATA must be WM_USER + 1");

int main(int argc, char** argv) {
    CSerialPortList list;
    list.Enumerate();
    std::cout << list.GetCount() << " port(s)\n";
    for (int i = 0; i < list.GetCount(); ++i)
        std::cout << "  " << list.GetEntry(i).second << " = " << list.GetPortNumber(i) << '\n';
    if (argc < 2)
        return 0;

    const int port = vireo::ParsePortNumber(argv[1]);
    const int baud = argc > 2 ? std::atoi(argv[2]) : 9600;
    CSerialPort serial;
    for (int round = 1; round <= 2; ++round) {
        if (!serial.Open(port, baud, NOPARITY, 8, ONESTOPBIT, FLOW_NONE)) {
            std::cerr << "open " << round << " failed: " << serial.LastError() << '\n';
            return 1;
        }
        if (argc > 3 && serial.Write(std::string(argv[3]) + "\r") == 0)
            std::cerr << "write failed: " << serial.LastError() << '\n';
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::string arrived;
        serial.m_rxRing.TakeAll(arrived);
        std::cout << "open " << round << ": received " << arrived.size() << " byte(s): "
                  << arrived << '\n';
        serial.Close();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}
CPP

echo "cross-windows: linking the port probe"
cmake -S "$probe_src" -B "$build/port-probe-build" "${generator[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DVIREO_CORE_LIB="$core_lib" \
    -DVIREO_SOURCE_DIR="$root" >/dev/null
cmake --build "$build/port-probe-build"

exe=$build/port-probe-build/vireo-port-probe.exe
format=$(${triplet}-objdump -f "$exe" | sed -n 's/.*file format //p')
if [ "$format" != "pei-i386" ]; then
    echo "cross-windows: $exe is '$format', not a 32-bit Windows executable" >&2
    exit 1
fi
# Only DLLs that every Windows installation has: the MinGW runtime is linked in.
foreign=$(${triplet}-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
    grep -viE '^(kernel32|user32|advapi32|setupapi|msvcrt|ws2_32|shell32|ole32|api-ms-win-.*)\.dll$' || true)
if [ -n "$foreign" ]; then
    echo "cross-windows: $exe needs DLLs that Windows does not ship: $foreign" >&2
    exit 1
fi
echo "cross-windows: OK ($exe, $format)"
